// The COM server's rules that need no Windows headers, so they are tested natively: the HRESULT
// values the portable parts return, the scripting-safety options of an object, and the member
// table of IReadInfo that IDispatch answers from. The Windows glue checks each value against
// the SDK's definition.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace launcher::com {

using HResult = int32_t;

inline constexpr HResult kSOk = 0;
inline constexpr HResult kSFalse = 1;
inline constexpr HResult kEFail = static_cast<HResult>(0x80004005U);
inline constexpr HResult kEUnexpected = static_cast<HResult>(0x8000FFFFU);
inline constexpr HResult kEOutOfMemory = static_cast<HResult>(0x8007000EU);
inline constexpr HResult kDispEException = static_cast<HResult>(0x80020009U);

// INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA
inline constexpr uint32_t kSupportedSafetyOptions = 0x3;

// The scripting-safety options of one object (IObjectSafety): recorded and reported.
class SafetyOptions {
 public:
  uint32_t enabled() const { return enabled_; }
  // The options under `mask` take their values from `enabled`, the others keep theirs.
  // E_FAIL, changing nothing, when the mask holds an option that is not supported.
  HResult Set(uint32_t mask, uint32_t enabled);

 private:
  uint32_t enabled_ = 0;
};

// The members a script may call, as the type information of IReadInfo lists them, so that the
// usual single-name GetIDsOfNames needs no call into the type information, and Invoke can refuse
// a member that is not there (the restricted ones of IUnknown and IDispatch) or a wrong number
// of arguments itself.
class MemberNameCache {
 public:
  // `argumentCount` excludes a [retval] parameter.
  void Add(std::u16string name, int32_t dispid, uint32_t argumentCount);

  // Exact, case-sensitive lookup of one zero-terminated name, from the last entry to the
  // first. Nothing for a null name or a miss (the caller then asks the type information).
  std::optional<int32_t> FindDispid(const char16_t* name) const;
  // The arguments the member with this DISPID takes; nothing for a DISPID that is not listed.
  std::optional<uint32_t> ArgumentCount(int32_t dispid) const;

 private:
  struct Entry {
    std::u16string name;
    int32_t dispid;
    uint32_t argumentCount;
  };
  std::vector<Entry> entries_;
};

}  // namespace launcher::com
