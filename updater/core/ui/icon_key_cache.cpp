#include "ui/icon_key_cache.h"

#include <algorithm>

#include "platform/gbk.h"

namespace updater {

int32_t IconKeyCache::IconIndexFor(const std::string& key) {
  const std::string lowered = platform::ToLowerAscii(key);
  const auto found = std::find(iconKeys_.begin(), iconKeys_.end(), lowered);
  if (found != iconKeys_.end()) return static_cast<int32_t>(found - iconKeys_.begin());

  IconSource::Icon icon = source_.ShellIcon(lowered);
  if (icon == nullptr && !iconKeys_.empty()) icon = source_.CopyImage(0);
  // Recording a key without an image would shift every later key off its image.
  if (icon == nullptr) return -1;
  const bool appended = source_.AppendImage(icon);
  source_.ReleaseIcon(icon);
  if (!appended) return -1;
  iconKeys_.push_back(lowered);
  return static_cast<int32_t>(iconKeys_.size() - 1);
}

}  // namespace updater
