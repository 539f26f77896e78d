// The file-type key cache behind the file list's icons: maps a key (a file extension, dot
// included) to a position in the list's small-icon image list, so that the shell is asked once
// per type. The keys and the image list grow together, so a key's position is its image's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace updater {

// Where the icons come from and where they go: the shell and the view's image list.
class IconSource {
 public:
  using Icon = void*;  // an icon handle; null for none

  virtual ~IconSource() = default;
  // The shell's small icon for files with this key as their name; no file has to exist.
  virtual Icon ShellIcon(const std::string& key) = 0;
  // A copy of the image at `position` of the image list; null when there is none.
  virtual Icon CopyImage(int32_t position) = 0;
  // Appends the icon to the image list, which keeps a copy of its own. True when appended.
  virtual bool AppendImage(Icon icon) = 0;
  // Releases an icon handle obtained from ShellIcon or CopyImage.
  virtual void ReleaseIcon(Icon icon) = 0;
};

class IconKeyCache {
 public:
  explicit IconKeyCache(IconSource& source) : source_(source) {}

  // The image position of the key's icon, adding it first when the key is new; keys differing
  // only in ASCII letter case share one position. A new key for which the shell has no icon
  // takes a copy of the first image. -1, with nothing recorded, when no icon can be appended
  // (no shell icon and no first image yet, or the image list refuses it).
  int32_t IconIndexFor(const std::string& key);

 private:
  IconSource& source_;
  std::vector<std::string> iconKeys_;  // lower-case, in the order added
};

}  // namespace updater
