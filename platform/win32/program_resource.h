// The running program's own RCDATA resources, such as the public keys a build embeds.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace platform::win32 {

// The bytes of the RCDATA resource `id` of the program's own module; nullopt when it has none.
inline std::optional<std::string> ProgramResource(int id) {
  HMODULE program = ::GetModuleHandleA(nullptr);
  HRSRC found = ::FindResourceA(program, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (found == nullptr) return std::nullopt;
  const char* data = static_cast<const char*>(::LockResource(::LoadResource(program, found)));
  if (data == nullptr) return std::nullopt;
  return std::string(data, ::SizeofResource(program, found));
}

}  // namespace platform::win32
