// The member names of IReadInfo as its type information lists them, so that the usual
// single-name GetIDsOfNames needs no call into the type information, and the number of
// arguments each member takes, so that Invoke can refuse a wrong count itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pellwick::com {

class MemberNameCache {
 public:
  // `argumentCount` excludes a [retval] parameter.
  void Add(std::u16string name, int32_t dispid, uint32_t argumentCount);

  // Exact, case-sensitive lookup of one zero-terminated name, from the last entry to the
  // first. Nothing for a null name or a miss (the caller then asks the type information).
  std::optional<int32_t> FindDispid(const char16_t* name) const;
  // The arguments the member with this DISPID takes; nothing for an unknown DISPID.
  std::optional<uint32_t> ArgumentCount(int32_t dispid) const;

  std::size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    std::u16string name;
    int32_t dispid;
    uint32_t argumentCount;
  };
  std::vector<Entry> entries_;
};

}  // namespace pellwick::com
