#include "link/launch_ticket.h"

#include <algorithm>
#include <cstdint>

#include "platform/gbk.h"

namespace launcher {
namespace {

constexpr std::size_t kMagicSize = sizeof kTicketMagic - 1;
constexpr char kBase64UrlDigits[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

void AppendNumber(std::string& out, uint64_t value, int bytes) {
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
    out += static_cast<char>((value >> shift) & 0xFF);
  }
}

void AppendText(std::string& out, const std::string& text) {
  AppendNumber(out, text.size(), 2);
  out += text;
}

// Reads the ticket's fields front to back; any read past the end leaves it failed.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  bool failed() const { return failed_; }
  std::size_t remaining() const { return bytes_.size() - pos_; }

  std::string_view Bytes(std::size_t count) {
    if (failed_ || remaining() < count) {
      failed_ = true;
      return {};
    }
    const std::string_view taken = bytes_.substr(pos_, count);
    pos_ += count;
    return taken;
  }

  uint64_t Number(int bytes) {
    uint64_t value = 0;
    for (const char byte : Bytes(static_cast<std::size_t>(bytes))) {
      value = (value << 8) | static_cast<unsigned char>(byte);
    }
    return value;
  }

  int32_t Signed32() { return static_cast<int32_t>(static_cast<uint32_t>(Number(4))); }

  std::string Text() {
    const std::string_view text = Bytes(static_cast<std::size_t>(Number(2)));
    if (!failed_ && !Utf8ToUtf16Strict(text)) failed_ = true;
    return std::string(text);
  }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
  bool failed_ = false;
};

template <std::size_t N>
std::array<unsigned char, N> ToArray(std::string_view bytes) {
  std::array<unsigned char, N> out{};
  for (std::size_t i = 0; i < N && i < bytes.size(); ++i) {
    out[i] = static_cast<unsigned char>(bytes[i]);
  }
  return out;
}

int Base64UrlValue(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '-') return 62;
  if (c == '_') return 63;
  return -1;
}

}  // namespace

std::string TicketPayload(const LaunchTicket& ticket) {
  std::string out(kTicketMagic, kMagicSize);
  out.append(ticket.keyId.begin(), ticket.keyId.end());
  AppendNumber(out, static_cast<uint64_t>(ticket.expiry), 8);
  out.append(ticket.singleUse.begin(), ticket.singleUse.end());
  AppendNumber(out, static_cast<uint64_t>(ticket.form) + 1, 1);
  AppendText(out, ticket.site);
  AppendText(out, ticket.url);
  AppendText(out, ticket.id);
  AppendNumber(out, static_cast<uint32_t>(ticket.readType), 4);
  AppendNumber(out, static_cast<uint32_t>(ticket.priorPageNo), 4);
  AppendText(out, ticket.key);
  AppendText(out, ticket.name);
  if (ticket.form != CommandFormat::kDirect) {
    AppendNumber(out, static_cast<uint32_t>(ticket.userType), 4);
  }
  if (ticket.form == CommandFormat::kNew3) {
    AppendNumber(out, static_cast<uint32_t>(ticket.downDay), 4);
  }
  return out;
}

std::optional<SignedTicket> ParseTicket(std::string_view bytes) {
  if (bytes.size() > kMaxTicketSize || bytes.size() < platform::kP256SignatureSize) {
    return std::nullopt;
  }
  SignedTicket parsed;
  parsed.payload = std::string(bytes.substr(0, bytes.size() - platform::kP256SignatureSize));
  parsed.signature = std::string(bytes.substr(parsed.payload.size()));
  Reader reader(parsed.payload);
  LaunchTicket& ticket = parsed.ticket;
  if (reader.Bytes(kMagicSize) != std::string_view(kTicketMagic, kMagicSize)) return std::nullopt;
  ticket.keyId = ToArray<kKeyIdSize>(reader.Bytes(kKeyIdSize));
  const uint64_t expiry = reader.Number(8);
  // Past this no clock reads: such a ticket is broken, not merely long-lived.
  if (expiry > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
  ticket.expiry = static_cast<int64_t>(expiry);
  ticket.singleUse = ToArray<kSingleUseSize>(reader.Bytes(kSingleUseSize));
  const uint64_t form = reader.Number(1);
  if (form < 1 || form > 3) return std::nullopt;
  ticket.form = static_cast<CommandFormat>(form - 1);
  ticket.site = reader.Text();
  ticket.url = reader.Text();
  ticket.id = reader.Text();
  ticket.readType = reader.Signed32();
  ticket.priorPageNo = reader.Signed32();
  ticket.key = reader.Text();
  ticket.name = reader.Text();
  if (ticket.form != CommandFormat::kDirect) ticket.userType = reader.Signed32();
  if (ticket.form == CommandFormat::kNew3) ticket.downDay = reader.Signed32();
  if (reader.failed() || reader.remaining() != 0) return std::nullopt;
  return parsed;
}

std::optional<KeyId> TicketKeyId(std::string_view bytes) {
  if (bytes.size() < kMagicSize + kKeyIdSize + platform::kP256SignatureSize ||
      bytes.substr(0, kMagicSize) != std::string_view(kTicketMagic, kMagicSize)) {
    return std::nullopt;
  }
  return ToArray<kKeyIdSize>(bytes.substr(kMagicSize, kKeyIdSize));
}

std::string Base64UrlEncode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() * 4 + 2) / 3);
  for (std::size_t pos = 0; pos < bytes.size(); pos += 3) {
    const std::size_t count = std::min<std::size_t>(3, bytes.size() - pos);
    uint32_t group = 0;
    for (std::size_t i = 0; i < 3; ++i) {
      group = (group << 8) | (i < count ? static_cast<unsigned char>(bytes[pos + i]) : 0u);
    }
    for (std::size_t i = 0; i <= count; ++i) out += kBase64UrlDigits[(group >> (18 - 6 * i)) & 63];
  }
  return out;
}

std::optional<std::string> Base64UrlDecode(std::string_view text) {
  if (text.size() % 4 == 1) return std::nullopt;
  std::string out;
  out.reserve(text.size() / 4 * 3 + 2);
  uint32_t bits = 0;
  int bitCount = 0;
  for (const char c : text) {
    const int value = Base64UrlValue(c);
    if (value < 0) return std::nullopt;
    bits = (bits << 6) | static_cast<uint32_t>(value);
    bitCount += 6;
    if (bitCount >= 8) {
      bitCount -= 8;
      out += static_cast<char>((bits >> bitCount) & 0xFF);
    }
  }
  // The bits left over pad the last character and must be zero.
  if ((bits & ((1u << bitCount) - 1)) != 0) return std::nullopt;
  return out;
}

std::string LaunchLink(std::string_view payload, std::string_view signature) {
  std::string ticket(payload);
  ticket += signature;
  return std::string(kLinkScheme) + ":" + Base64UrlEncode(ticket);
}

std::optional<std::string> TicketBytesOfLink(std::string_view link) {
  const std::size_t schemeSize = sizeof kLinkScheme - 1;
  if (link.size() > kMaxLinkSize || link.size() <= schemeSize ||
      !platform::EqualsIgnoringAsciiCase(link.substr(0, schemeSize), kLinkScheme) ||
      link[schemeSize] != ':') {
    return std::nullopt;
  }
  return Base64UrlDecode(link.substr(schemeSize + 1));
}

std::optional<KeyId> LaunchKeyId(platform::Crypto& crypto, std::string_view point) {
  const std::optional<platform::Sha256Digest> digest = platform::Sha256Of(crypto, point);
  if (!digest) return std::nullopt;
  KeyId id{};
  std::copy(digest->begin(), digest->begin() + kKeyIdSize, id.begin());
  return id;
}

std::optional<std::u16string> Utf8ToUtf16Strict(std::string_view utf8) {
  std::u16string out;
  for (std::size_t pos = 0; pos < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[pos]);
    std::size_t length = 0;
    uint32_t code = 0;
    uint32_t smallest = 0;
    if (lead >= 0x01 && lead <= 0x7F) {
      length = 1;
      code = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1F;
      smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0F;
      smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07;
      smallest = 0x10000;
    } else {
      return std::nullopt;  // a zero, a continuation byte, or no lead byte of UTF-8
    }
    if (utf8.size() - pos < length) return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(utf8[pos + i]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return std::nullopt;
    }
    if (code >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
    pos += length;
  }
  return out;
}

}  // namespace launcher
