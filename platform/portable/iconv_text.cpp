#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/text.h"

namespace platform {
namespace {

// iconv descriptors are not shareable between threads, so each call opens its own.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(::iconv_open(to, from)) {}
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

 private:
  iconv_t handle_;
};

std::u16string ToU16(const std::vector<char>& bytes) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  return text;
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view ansi) {
  Converter converter("UTF-16LE", "CP936");
  if (!converter.valid()) return std::u16string();
  std::string input(ansi);
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
  return ToU16(out);
}

std::string Utf16ToAnsi(std::u16string_view wide) {
  Converter converter("CP936", "UTF-16LE");
  if (!converter.valid()) return std::string();
  std::string input;
  for (char16_t unit : wide) {
    input.push_back(static_cast<char>(unit & 0xFF));
    input.push_back(static_cast<char>(unit >> 8));
  }
  char* in = input.data();
  std::size_t inLeft = input.size();
  std::vector<char> out;
  while (!converter.Convert(in, inLeft, out)) {
    // A character the code page lacks (or a lone surrogate) becomes '?'; a surrogate pair
    // counts as one character.
    out.push_back('?');
    const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(in[0]) |
                                                (static_cast<unsigned char>(in[1]) << 8));
    std::size_t skip = 2;
    if (unit >= 0xD800 && unit <= 0xDBFF && inLeft >= 4) {
      const unsigned char high = static_cast<unsigned char>(in[3]);
      if (high >= 0xDC && high <= 0xDF) skip = 4;
    }
    in += skip;
    inLeft -= skip;
  }
  return std::string(out.begin(), out.end());
}

std::optional<std::string> Utf8ToAnsi(std::string_view utf8) {
  Converter converter("CP936", "UTF-8");
  if (!converter.valid()) return std::nullopt;
  std::string input(utf8);
  char* in = input.data();
  std::size_t inLeft = input.size();
  std::vector<char> out;
  if (!converter.Convert(in, inLeft, out)) return std::nullopt;
  return std::string(out.begin(), out.end());
}

}  // namespace platform
