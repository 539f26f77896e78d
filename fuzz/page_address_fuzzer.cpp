// The site lock's reading of a page address, against a model of how a browser reads the same
// address (the authority ends at '/', '?', '#' or '\'; user information is what precedes the
// last '@'; the port, digits only, follows the last ':'):
// - no address is allowed whose host, read that way, is outside the list, or that carries user
//   information, or whose scheme is not http or https;
// - where the two readings cannot differ (no '\', at most one '@' and one ':' in the authority,
//   a port of digits only: the cases the address contract table checks against
//   InternetCrackUrlA), the parser names the same host as the model.
//
// Input: the address, one byte per UTF-16 unit (bytes above 0x7F stand for those code points).
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/gbk.h"
#include "platform/url.h"
#include "site/site_lock.h"

namespace {

struct BrowserReading {
  bool http = false;  // the scheme is http or https, in any letter case, followed by "//"
  bool userInfo = false;
  bool plain = false;  // no '\' in the address, at most one '@' and one ':' in the authority
  std::string host;    // as written, without the port
};

BrowserReading ReadLikeABrowser(std::string_view address) {
  BrowserReading reading;
  const std::size_t colon = address.find(':');
  if (colon == std::string_view::npos) return reading;
  const std::string scheme = platform::ToLowerAscii(address.substr(0, colon));
  std::string_view rest = address.substr(colon + 1);
  if ((scheme != "http" && scheme != "https") || rest.substr(0, 2) != "//") return reading;
  reading.http = true;
  rest.remove_prefix(2);
  std::string_view authority = rest.substr(0, rest.find_first_of("/?#\\"));
  reading.plain = address.find('\\') == std::string_view::npos &&
                  authority.find('@') == authority.rfind('@') &&
                  authority.find(':') == authority.rfind(':');
  const std::size_t at = authority.rfind('@');
  if (at != std::string_view::npos) {
    reading.userInfo = true;
    authority.remove_prefix(at + 1);
  }
  const std::size_t port = authority.rfind(':');
  if (port != std::string_view::npos) {
    // A browser refuses a port that is not a number; WinInet drops whatever follows the ':'.
    if (authority.find_first_not_of("0123456789", port + 1) != std::string_view::npos) {
      reading.plain = false;
    }
    authority = authority.substr(0, port);
  }
  reading.host = std::string(authority);
  return reading;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() > end.size() && text.substr(text.size() - end.size()) == end;
}

// The list below, checked by hand: "morvane.net", any host under it, any host under
// "library.example" (but not "library.example" itself).
bool InTheList(std::string host) {
  host = platform::ToLowerAscii(host);
  if (!host.empty() && host.back() == '.') host.pop_back();
  if (host.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-.") != std::string::npos ||
      host.find("..") != std::string::npos) {
    return false;
  }
  return host == "morvane.net" || EndsWith(host, ".morvane.net") ||
         EndsWith(host, ".library.example");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const launcher::AllowList allowList = [] {
    launcher::AllowList list;
    list.Add("morvane.net; *.MORVANE.net.;*.library.example");
    return list;
  }();
  const std::string address(reinterpret_cast<const char*>(data), size);
  const std::u16string wide(address.begin(), address.end());
  const BrowserReading reading = ReadLikeABrowser(address);

  if (launcher::IsAllowedPage(wide, allowList)) {
    fuzz::Check(reading.http, "an allowed page is http or https to a browser");
    fuzz::Check(!reading.userInfo, "an allowed page carries no user information");
    fuzz::Check(InTheList(reading.host), "an allowed page's host is in the list");
  }

  const std::optional<platform::UrlParts> parts = platform::CrackUrl(address);
  if (parts && reading.http && reading.plain) {
    fuzz::Check(parts->hasUserInfo == reading.userInfo, "both readings see user information");
    fuzz::Check(parts->host == reading.host, "both readings name the same host");
  }
  return 0;
}
