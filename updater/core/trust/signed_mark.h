// The mark of the highest signed manifest version this installation has accepted. It is a file
// beside the program's files, so every user of the installation shares it and only whoever may
// change the installation may change it. Builds before it kept the mark as the current user's
// registry value "Signed Update Version"; that value is taken over once.
#pragma once

#include <optional>
#include <string>

#include "layout/paths.h"
#include "platform/file_system.h"
#include "platform/registry.h"

namespace updater {

// The per-user registry value of earlier builds, under the reader's key.
inline constexpr char kSignedVersionValue[] = "Signed Update Version";

struct MarkReading {
  enum class State {
    kNone,        // no signed manifest was accepted yet
    kVersion,     // `version` holds the mark
    kUnreadable,  // there is a mark that cannot be read or is malformed: nothing is trusted
  };
  State state = State::kNone;
  std::string version;
};

class SignedVersionMark {
 public:
  virtual ~SignedVersionMark() = default;
  virtual MarkReading Read() = 0;
  // Replaces the mark with `version`; false when it could not be stored.
  virtual bool Write(const std::string& version) = 0;
};

// True for a version the mark can hold: 1 to 127 bytes, none of them a control character.
bool IsMarkableVersion(const std::string& version);

// The mark in the file kSignedMarkName of the program folder: the version and CR LF, nothing
// else. While the file is missing, a readable registry value of earlier builds is copied into
// it and then deleted; one that cannot be read counts as an unreadable mark.
class ProgramFolderMark final : public SignedVersionMark {
 public:
  ProgramFolderMark(platform::FileSystem& files, platform::Registry& userRegistry,
                    std::string markPath);  // UpdateLayout::signedMark
  MarkReading Read() override;
  bool Write(const std::string& version) override;

 private:
  MarkReading TakeOverRegistryMark();

  platform::FileSystem& files_;
  platform::Registry& userRegistry_;
  const std::string path_;
};

}  // namespace updater
