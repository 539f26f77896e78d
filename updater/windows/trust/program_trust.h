// The trust rules built into this program: the publisher's public keys from its resources and
// the build's choice about unsigned manifests, with the system's cryptography and the mark in
// the program folder; its decisions go to the program's error output and to its log.
#pragma once

#include "trust/update_trust.h"

namespace ostrel {

const TrustContext& ProgramTrust();

}  // namespace ostrel
