// The trust rules built into this program: the publisher's public keys from its resources and
// the choice about unsigned manifests, with the system's cryptography and the mark in
// the program folder; its decisions go to the program's error output and to its log.
#pragma once

#include <string>

#include "log/run_log.h"
#include "platform/crypto.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "trust/signed_mark.h"
#include "trust/update_trust.h"

namespace updater {

class ProgramTrust {
 public:
  // `markPath`: UpdateLayout::signedMark. Every reference must outlive this object.
  ProgramTrust(platform::FileSystem& files, platform::Registry& userRegistry,
               platform::Crypto& crypto, std::string markPath, RunLog& log, bool requireSigned);
  ProgramTrust(const ProgramTrust&) = delete;
  ProgramTrust& operator=(const ProgramTrust&) = delete;

  const TrustContext& context() const { return context_; }

 private:
  const TrustSettings settings_;
  ProgramFolderMark mark_;
  const TrustContext context_;
};

}  // namespace updater
