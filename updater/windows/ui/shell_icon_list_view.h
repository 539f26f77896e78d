// The file list's list-view control: one column, and a small-icon image list filled with the
// shell's icon for each file type (through IconKeyCache, so the shell is asked once per type).
#pragma once

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

#include "ui/icon_key_cache.h"

namespace updater {

class ShellIconListView final : private IconSource {
 public:
  ShellIconListView() = default;
  ~ShellIconListView() override = default;
  ShellIconListView(const ShellIconListView&) = delete;
  ShellIconListView& operator=(const ShellIconListView&) = delete;

  // Binds the view to its control (report view, no shared image lists), creates the 16 x 16
  // image list, inserts the single column and hands the image list to the control, which
  // destroys it with its window. Once per view.
  void SetUpView(HWND list);

  // The image position of the key's icon (a file extension, dot included, or ""); -1 when no
  // icon could be had.
  int32_t IconIndexFor(const std::string& key) { return cache_.IconIndexFor(key); }

  // Inserts a row with the text and image at `index` (past the end appends).
  void InsertRow(int32_t index, const std::string& text, int32_t image);
  // Around many insertions: room for `rows` rows at once and no drawing until EndInserting.
  // (Under Wine, 2000 rows inserted one by one took over a second; this way 15 ms.)
  void BeginInserting(std::size_t rows);
  void EndInserting();

  HIMAGELIST Images() const { return images_; }

 private:
  Icon ShellIcon(const std::string& key) override;
  Icon CopyImage(int32_t position) override;
  bool AppendImage(Icon icon) override;
  void ReleaseIcon(Icon icon) override;

  using UniqueImageList =
      std::unique_ptr<std::remove_pointer_t<HIMAGELIST>, decltype(&ImageList_Destroy)>;

  HWND list_ = nullptr;
  HIMAGELIST images_ = nullptr;
  // Held until the control has taken the image list; the control then destroys it.
  UniqueImageList ownedImages_{nullptr, &ImageList_Destroy};
  IconKeyCache cache_{*this};
};

}  // namespace updater
