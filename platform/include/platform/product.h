// Where the reader keeps what both deliverables look up: its registry key and the name of its
// executable. Ostrel and Pellwick share nothing else.
#pragma once

namespace platform {

// Below HKEY_CURRENT_USER: the default value is the reader's folder; Ostrel's settings beside it.
inline constexpr char kReaderKey[] = "Software\\Morvane\\Reader";
// The reader's executable, in its folder; matched whole and byte for byte among processes.
inline constexpr char kReaderExecutable[] = "Tavrel.exe";
// Below HKEY_LOCAL_MACHINE: settings an administrator imposes on the reader's tools.
inline constexpr char kReaderPolicyKey[] = "Software\\Policies\\Morvane\\Reader";

}  // namespace platform
