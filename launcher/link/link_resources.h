// Resource ids of the link handler: its built-in launch public keys (RCDATA, DER
// SubjectPublicKeyInfo) and its icon. Shared by the resource script and the code.
#pragma once

#define PELLWICK_LAUNCH_KEY_RESOURCE 310
#define PELLWICK_LAUNCH_KEY_NEXT_RESOURCE 311
#define PELLWICK_LINK_ICON_RESOURCE 1

#ifdef __cplusplus
namespace launcher {
inline constexpr int kLaunchKeyResource = PELLWICK_LAUNCH_KEY_RESOURCE;
inline constexpr int kLaunchKeyNextResource = PELLWICK_LAUNCH_KEY_NEXT_RESOURCE;
}  // namespace launcher
#endif
