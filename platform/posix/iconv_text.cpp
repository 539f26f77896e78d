#include <iconv.h>

#include <cerrno>
#include <vector>

#include "platform/text.h"

namespace platform {
namespace {

// iconv descriptors are not shareable between threads, so each call opens its own.
class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : handle_(::iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (valid()) ::iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // iconv_open reports failure as (iconv_t)-1.
  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }  // NOLINT

  // Converts as much as it can; returns false at an invalid or incomplete sequence, with
  // `in` and `inLeft` pointing at it.
  bool Convert(char*& in, std::size_t& inLeft, std::vector<char>& out) {
    while (inLeft > 0) {
      char buffer[256];
      char* outPtr = buffer;
      std::size_t outLeft = sizeof buffer;
      const std::size_t result = ::iconv(handle_, &in, &inLeft, &outPtr, &outLeft);
      out.insert(out.end(), buffer, outPtr);
      if (result == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
    }
    return true;
  }

  // The whole of `input` converted, or nothing at any invalid sequence.
  bool ConvertAll(std::string input, std::vector<char>& out) {
    char* in = input.data();
    std::size_t inLeft = input.size();
    return Convert(in, inLeft, out);
  }

 private:
  iconv_t handle_;
};

std::string IconvName(uint32_t codePage) {
  return codePage == kCodePageUtf8 ? "UTF-8" : "CP" + std::to_string(codePage);
}

std::string Utf16LeBytes(std::u16string_view wide) {
  std::string bytes;
  for (char16_t unit : wide) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

std::u16string FromUtf16LeBytes(const std::vector<char>& bytes) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  return text;
}

bool IsSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// UTF-8 has every character; a lone surrogate becomes U+FFFD, as Windows writes it.
std::string ToUtf8(std::u16string_view wide) {
  std::string out;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const char16_t unit = wide[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                          (static_cast<char32_t>(wide[++i]) - 0xDC00));
    } else {
      AppendUtf8(out, IsSurrogate(unit) ? 0xFFFD : unit);
    }
  }
  return out;
}

}  // namespace

uint32_t AnsiCodePage() { return kCodePageGbk; }

std::u16string AnsiToUtf16(std::string_view ansi) { return CodePageToUtf16(ansi, AnsiCodePage()); }

std::string Utf16ToAnsi(std::u16string_view wide) { return Utf16ToCodePage(wide, AnsiCodePage()); }

std::u16string CodePageToUtf16(std::string_view text, uint32_t codePage) {
  Converter converter("UTF-16LE", IconvName(codePage));
  if (!converter.valid()) return std::u16string();
  std::string input(text);
  char* in = input.data();
  std::size_t inLeft = input.size();
  std::vector<char> out;
  while (!converter.Convert(in, inLeft, out)) {
    // A byte that starts no valid character stands for itself as U+003F, as the platform's
    // default character does.
    out.push_back('?');
    out.push_back('\0');
    ++in;
    --inLeft;
  }
  return FromUtf16LeBytes(out);
}

std::string Utf16ToCodePage(std::u16string_view wide, uint32_t codePage) {
  if (codePage == kCodePageUtf8) return ToUtf8(wide);
  Converter encoder(IconvName(codePage), "UTF-16LE");
  Converter decoder("UTF-16LE", IconvName(codePage));
  if (!encoder.valid() || !decoder.valid()) return std::string();
  // One unit at a time, each checked by converting it back: iconv's tables map some
  // characters one way only (U+00A5 to 0x5C in CP932), which is exactly the best fit that
  // must not happen. The code pages here have no character beyond the BMP.
  std::string out;
  for (char16_t unit : wide) {
    std::vector<char> encoded;
    std::vector<char> decoded;
    const std::string unitBytes = Utf16LeBytes(std::u16string_view(&unit, 1));
    if (!IsSurrogate(unit) && encoder.ConvertAll(unitBytes, encoded) &&
        decoder.ConvertAll(std::string(encoded.begin(), encoded.end()), decoded) &&
        std::string(decoded.begin(), decoded.end()) == unitBytes) {
      out.append(encoded.begin(), encoded.end());
    } else {
      out.push_back('?');
    }
  }
  return out;
}

bool IsLeadByte(uint32_t codePage, unsigned char byte) {
  switch (codePage) {
    case kCodePageShiftJis:
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case kCodePageGbk:
    case 949:  // Korean
    case 950:  // Traditional Chinese
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

}  // namespace platform
