// A signed-version mark held in memory, for tests that look at the trust rules, not at where
// the mark is stored.
#pragma once

#include <string>

#include "trust/signed_mark.h"

namespace testing_support {

class MemoryMark final : public updater::SignedVersionMark {
 public:
  updater::MarkReading Read() override { return reading; }
  bool Write(const std::string& version) override {
    reading = {updater::MarkReading::State::kVersion, version};
    return true;
  }

  updater::MarkReading reading;
};

}  // namespace testing_support
