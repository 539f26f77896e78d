#include "trust/program_trust.h"

#include <windows.h>

#include <cstdio>
#include <optional>

#include "res/resource.h"
#include "win32/program_resource.h"

namespace updater {

namespace {

TrustSettings BuiltInSettings(bool requireSigned) {
  TrustSettings settings;
  settings.requireSigned = requireSigned;
  for (const int id : {IDR_UPDATE_KEY, IDR_UPDATE_KEY_NEXT}) {
    const std::optional<std::string> info = platform::win32::ProgramResource(id);
    if (!info) continue;
    // A key resource that is not a P-256 key still counts as a key, one that matches nothing:
    // a build meant to check signatures must never fall back to trusting every manifest.
    settings.keys.push_back(platform::P256PointFromPublicKeyInfo(*info).value_or(""));
  }
  return settings;
}

}  // namespace

ProgramTrust::ProgramTrust(platform::FileSystem& files, platform::Registry& userRegistry,
                           platform::Crypto& crypto, std::string markPath, RunLog& log,
                           bool requireSigned)
    : settings_(BuiltInSettings(requireSigned)),
      mark_(files, userRegistry, std::move(markPath)),
      context_{settings_, crypto, mark_, [&log](const std::string& line) {
                 std::fprintf(stderr, "Ostrel: %s\n", line.c_str());
                 log.Write(line);
               }} {}

}  // namespace updater
