#include "trust/signed_mark.h"

#include <memory>

#include "settings/registry_values.h"

namespace updater {

namespace {

constexpr std::size_t kMarkCapacity = 128;
constexpr char kLineEnd[] = "\r\n";

MarkReading Unreadable() { return {MarkReading::State::kUnreadable, {}}; }

}  // namespace

bool IsMarkableVersion(const std::string& version) {
  if (version.empty() || version.size() >= kMarkCapacity) return false;
  for (const char c : version) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

ProgramFolderMark::ProgramFolderMark(platform::FileSystem& files, platform::Registry& userRegistry,
                                     std::string markPath)
    : files_(files), userRegistry_(userRegistry), path_(std::move(markPath)) {}

MarkReading ProgramFolderMark::Read() {
  if (!files_.Exists(path_)) return TakeOverRegistryMark();
  const std::optional<uint64_t> size = files_.FileSize(path_);
  if (!size || *size > kMarkCapacity + 2) return Unreadable();
  const std::optional<std::string> text = platform::ReadWholeFile(files_, path_);
  const std::size_t end = text ? text->find(kLineEnd) : std::string::npos;
  if (end == std::string::npos || end + 2 != text->size()) return Unreadable();
  std::string version = text->substr(0, end);
  if (!IsMarkableVersion(version)) return Unreadable();
  return {MarkReading::State::kVersion, std::move(version)};
}

bool ProgramFolderMark::Write(const std::string& version) {
  return IsMarkableVersion(version) &&
         files_.WriteWholeFile(path_, version + kLineEnd, platform::Durability::kFlushedToDisk);
}

MarkReading ProgramFolderMark::TakeOverRegistryMark() {
  const std::unique_ptr<platform::RegistryKey> key = userRegistry_.OpenKey(kReaderKey);
  platform::RegistryValue value;
  const platform::QueryStatus status =
      key ? key->QueryValue(kSignedVersionValue, kMarkCapacity, value)
          : platform::QueryStatus::kNotFound;
  if (status == platform::QueryStatus::kNotFound) return {};
  if (status != platform::QueryStatus::kOk || value.type != platform::kRegSz) return Unreadable();
  std::string version = value.data.substr(0, value.data.find('\0'));
  // Earlier builds stored the version of any signed manifest, an empty one included; an empty
  // mark refuses nothing that a missing one would accept.
  if (version.empty()) version = "0";
  if (!IsMarkableVersion(version)) return Unreadable();
  // Taken over once: the value goes only when the file holds the mark.
  if (Write(version)) key->DeleteValue(kSignedVersionValue);
  return {MarkReading::State::kVersion, std::move(version)};
}

}  // namespace updater
