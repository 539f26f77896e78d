// The file list's icon cache over a fake shell and image list.
#include "ui/icon_key_cache.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using updater::IconKeyCache;
using updater::IconSource;

// Icons are numbered handles; the image list holds the name each icon was made for.
class FakeIconSource final : public IconSource {
 public:
  std::set<std::string> keysWithoutIcon;
  int refuseAppendNumber = -1;  // the n-th append (from 0) is refused
  std::vector<std::string> shellCalls;
  std::vector<std::string> images;
  std::set<Icon> live;

  Icon ShellIcon(const std::string& key) override {
    shellCalls.push_back(key);
    if (keysWithoutIcon.count(key)) return nullptr;
    return Make("shell" + key);
  }
  Icon CopyImage(int32_t position) override {
    if (position < 0 || position >= static_cast<int32_t>(images.size())) return nullptr;
    return Make(images[static_cast<std::size_t>(position)]);
  }
  bool AppendImage(Icon icon) override {
    EXPECT_TRUE(live.count(icon)) << "appending an icon that is not live";
    if (appends_++ == refuseAppendNumber) return false;
    images.push_back(names_.at(icon));
    return true;
  }
  void ReleaseIcon(Icon icon) override { EXPECT_EQ(live.erase(icon), 1u) << "released twice"; }

 private:
  Icon Make(const std::string& name) {
    Icon icon = reinterpret_cast<Icon>(static_cast<std::uintptr_t>(++made_ * 16));
    names_[icon] = name;
    live.insert(icon);
    return icon;
  }
  int made_ = 0;
  int appends_ = 0;
  std::map<Icon, std::string> names_;
};

TEST(IconKeyCache, KeysToImagePositions) {
  const struct {
    const char* what;
    std::set<std::string> keysWithoutIcon;
    int refuseAppendNumber;
    std::vector<std::string> keys;
    std::vector<int32_t> positions;
    std::vector<std::string> shellCalls;
    std::vector<std::string> images;
  } cases[] = {
      {"a repeated key asks the shell once",
       {},
       -1,
       {".txt", ".exe", ".txt"},
       {0, 1, 0},
       {".txt", ".exe"},
       {"shell.txt", "shell.exe"}},
      {"keys differing in letter case share a position",
       {},
       -1,
       {".txt", ".TXT", ".Exe", ".eXE"},
       {0, 0, 1, 1},
       {".txt", ".exe"},
       {"shell.txt", "shell.exe"}},
      {"the empty key is cached like any other",
       {},
       -1,
       {".dll", "", ""},
       {0, 1, 1},
       {".dll", ""},
       {"shell.dll", "shell"}},
      {"no shell icon: a copy of the first image",
       {".odd"},
       -1,
       {".txt", ".odd", ".odd", ".exe"},
       {0, 1, 1, 2},
       {".txt", ".odd", ".exe"},
       {"shell.txt", "shell.txt", "shell.exe"}},
      {"no shell icon and no first image yet: -1, not recorded, asked again later",
       {".odd"},
       -1,
       {".odd", ".txt", ".odd"},
       {-1, 0, 1},
       {".odd", ".txt", ".odd"},
       {"shell.txt", "shell.txt"}},
      {"an image the list refuses is not recorded; later keys stay in step",
       {},
       0,
       {".txt", ".exe", ".txt"},
       {-1, 0, 1},
       {".txt", ".exe", ".txt"},
       {"shell.exe", "shell.txt"}},
      {"a GBK trail byte that reads as a capital letter is not lowered",
       {},
       -1,
       {".\xb0\x41", ".\xb0\x61", ".\xb0\x41X", ".\xb0\x41x"},
       {0, 1, 2, 2},
       {".\xb0\x41", ".\xb0\x61", ".\xb0\x41x"},
       {"shell.\xb0\x41", "shell.\xb0\x61", "shell.\xb0\x41x"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeIconSource source;
    source.keysWithoutIcon = c.keysWithoutIcon;
    source.refuseAppendNumber = c.refuseAppendNumber;
    IconKeyCache cache(source);
    std::vector<int32_t> positions;
    for (const std::string& key : c.keys) positions.push_back(cache.IconIndexFor(key));
    EXPECT_EQ(positions, c.positions);
    EXPECT_EQ(source.shellCalls, c.shellCalls);
    EXPECT_EQ(source.images, c.images);
    EXPECT_TRUE(source.live.empty()) << "icon handles left unreleased";
  }
}

}  // namespace
