// The registry entries of the ReadInfo class, in the order registration writes them. The same
// entries, as the registrar's script, are the DLL's resource REGISTRY 101
// (launcher/windows/res/pellwick.rgs); a test keeps the two in agreement.
#pragma once

#include "registration/registry_table.h"

namespace launcher {

#define PELLWICK_READ_INFO_CLSID "{A60848FE-3F33-46CA-BD67-226492E1D9A3}"
#define PELLWICK_CLASS_KEY "CLSID\\" PELLWICK_READ_INFO_CLSID

inline constexpr RegistryEntry kReadInfoRegistration[] = {
    {"MYPellwick.ReadInfo.1", "", "ReadInfo Class"},
    {"MYPellwick.ReadInfo.1\\CLSID", "", PELLWICK_READ_INFO_CLSID},
    {"MYPellwick.ReadInfo", "", "ReadInfo Class"},
    {"MYPellwick.ReadInfo\\CLSID", "", PELLWICK_READ_INFO_CLSID},
    {"MYPellwick.ReadInfo\\CurVer", "", "MYPellwick.ReadInfo.1"},
    {"CLSID", nullptr, nullptr, KeyRule::kNoRemove},
    {PELLWICK_CLASS_KEY, "", "ReadInfo Class", KeyRule::kForceRemove},
    {PELLWICK_CLASS_KEY "\\ProgID", "", "MYPellwick.ReadInfo.1"},
    {PELLWICK_CLASS_KEY "\\VersionIndependentProgID", "", "MYPellwick.ReadInfo"},
    {PELLWICK_CLASS_KEY "\\Programmable", nullptr, nullptr, KeyRule::kForceRemove},
    {PELLWICK_CLASS_KEY "\\InprocServer32", "", "%MODULE%"},
    {PELLWICK_CLASS_KEY "\\InprocServer32", "ThreadingModel", "Apartment"},
    {PELLWICK_CLASS_KEY "\\TypeLib", "", "{F7D428EF-8049-481B-A586-8811F91C66DF}"},
};

#undef PELLWICK_CLASS_KEY
#undef PELLWICK_READ_INFO_CLSID

}  // namespace launcher
