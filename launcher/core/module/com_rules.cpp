#include "module/com_rules.h"

#include <string_view>
#include <utility>

namespace launcher::com {

HResult SafetyOptions::Set(uint32_t mask, uint32_t enabled) {
  if ((mask & ~kSupportedSafetyOptions) != 0) return kEFail;
  enabled_ = (enabled_ & ~mask) | (enabled & mask);
  return kSOk;
}

void MemberNameCache::Add(std::u16string name, int32_t dispid, uint32_t argumentCount) {
  entries_.push_back(Entry{std::move(name), dispid, argumentCount});
}

std::optional<int32_t> MemberNameCache::FindDispid(const char16_t* name) const {
  if (name == nullptr) return std::nullopt;
  const std::u16string_view wanted(name);
  for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
    if (entry->name == wanted) return entry->dispid;
  }
  return std::nullopt;
}

std::optional<uint32_t> MemberNameCache::ArgumentCount(int32_t dispid) const {
  for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
    if (entry->dispid == dispid) return entry->argumentCount;
  }
  return std::nullopt;
}

}  // namespace launcher::com
