// Reading resources back out of the built binaries (Windows tests only): the build folder, a
// resource's bytes in language 0x0804, a string of a string table, and version information.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

inline constexpr WORD kChinesePrc = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

// build\, three levels above this program (build\win64\bin\x.exe).
inline std::wstring BuildFolder() {
  wchar_t name[MAX_PATH] = {};
  std::wstring path(name, GetModuleFileNameW(nullptr, name, MAX_PATH));
  for (int level = 0; level < 3; ++level) path = path.substr(0, path.find_last_of(L'\\'));
  return path;
}

// A resource's bytes in language 0x0804; empty when it is not there.
inline std::string Resource(HMODULE module, LPCWSTR type, WORD id) {
  HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id), kChinesePrc);
  if (found == nullptr) return {};
  const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
  return data == nullptr ? std::string() : std::string(data, SizeofResource(module, found));
}

// String `id` of the string table in language 0x0804: block id / 16 + 1 holds 16 strings, each
// counted, not ended.
inline std::wstring TableString(HMODULE module, WORD id) {
  const std::string block = Resource(module, MAKEINTRESOURCEW(6) /* RT_STRING */, id / 16 + 1);
  if (block.empty()) return {};
  const auto* words = reinterpret_cast<const WORD*>(block.data());
  std::size_t at = 0;
  for (int i = 0; i < id % 16; ++i) at += 1 + words[at];
  return std::wstring(reinterpret_cast<const wchar_t*>(words + at + 1), words[at]);
}

// The version information of the file at `path`; empty when it has none.
inline std::vector<char> VersionInformation(const std::wstring& path) {
  DWORD ignored = 0;
  std::vector<char> data(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  if (!data.empty() &&
      !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data())) {
    data.clear();
  }
  return data;
}

// The fixed part of the version information `data`, or null when it has none.
inline const VS_FIXEDFILEINFO* FixedFileInfo(std::vector<char>& data) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  return VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ? fixed
                                                                                       : nullptr;
}

// A value of the string block `block` (such as L"040904B0"), or null when it is missing.
inline const wchar_t* VersionString(std::vector<char>& data, const wchar_t* block,
                                    const wchar_t* name) {
  wchar_t* value = nullptr;
  UINT length = 0;
  const std::wstring query = std::wstring(L"\\StringFileInfo\\") + block + L"\\" + name;
  return VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)
             ? value
             : nullptr;
}

}  // namespace testing_support
