#include "link/used_tickets.h"

#include <memory>
#include <string>

namespace launcher {
namespace {

int64_t ReadTime(const std::string& data, std::size_t pos) {
  uint64_t value = 0;
  for (std::size_t i = 0; i < 8; ++i)
    value = (value << 8) | static_cast<unsigned char>(data[pos + i]);
  return static_cast<int64_t>(value);
}

void AppendTime(std::string& data, int64_t time) {
  for (int shift = 56; shift >= 0; shift -= 8) {
    data += static_cast<char>((static_cast<uint64_t>(time) >> shift) & 0xFF);
  }
}

}  // namespace

SingleUse RecordSingleUse(platform::Registry& user, const SingleUseNumber& number,
                          int64_t forgetAfter, int64_t now) {
  const std::unique_ptr<platform::RegistryKey> key = user.CreateKey(kLinkHandlerKey);
  if (!key) return SingleUse::kFailed;
  platform::RegistryValue stored;
  const std::size_t capacity = kMaxUsedTickets * kUsedTicketRecordSize;
  switch (key->QueryValue(kUsedTicketsValue, capacity, stored)) {
    case platform::QueryStatus::kOk:
      if (stored.type != platform::kRegBinary || stored.data.size() % kUsedTicketRecordSize != 0) {
        return SingleUse::kFailed;
      }
      break;
    case platform::QueryStatus::kNotFound:
      break;
    default:
      return SingleUse::kFailed;
  }
  const std::string wanted(number.begin(), number.end());
  std::string kept;
  for (std::size_t pos = 0; pos < stored.data.size(); pos += kUsedTicketRecordSize) {
    if (ReadTime(stored.data, pos + kSingleUseSize) < now) continue;
    if (stored.data.compare(pos, kSingleUseSize, wanted) == 0) return SingleUse::kReplayed;
    kept.append(stored.data, pos, kUsedTicketRecordSize);
  }
  if (kept.size() / kUsedTicketRecordSize >= kMaxUsedTickets) return SingleUse::kFull;
  kept += wanted;
  AppendTime(kept, forgetAfter);
  if (!key->SetValue(kUsedTicketsValue, {platform::kRegBinary, kept})) return SingleUse::kFailed;
  return SingleUse::kFirstUse;
}

bool TakeWarningTurn(platform::Registry& user, int64_t now) {
  const std::unique_ptr<platform::RegistryKey> key = user.CreateKey(kLinkHandlerKey);
  if (!key) return true;
  platform::RegistryValue last;
  if (key->QueryValue(kLastWarningValue, 8, last) == platform::QueryStatus::kOk &&
      last.data.size() == 8) {
    const int64_t shown = ReadTime(last.data, 0);
    // A time ahead of now (a clock set back) does not silence the messages for good.
    if (shown <= now && now - shown < kWarningQuietSeconds) return false;
  }
  std::string data;
  AppendTime(data, now);
  key->SetValue(kLastWarningValue, {platform::kRegBinary, data});
  return true;
}

}  // namespace launcher
