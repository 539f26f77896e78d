#include "ui/shell_icon_list_view.h"

#include <shellapi.h>

namespace updater {

namespace {

constexpr int kIconSize = 16;
constexpr UINT kImageFlags = ILC_COLORDDB | ILC_MASK;
constexpr int kInitialImages = 1;
constexpr int kImageGrowth = 50;
constexpr COLORREF kImageBackground = 1;
constexpr int kColumnWidth = 200;

}  // namespace

void ShellIconListView::SetUpView(HWND list) {
  list_ = list;
  ownedImages_.reset(
      ImageList_Create(kIconSize, kIconSize, kImageFlags, kInitialImages, kImageGrowth));
  images_ = ownedImages_.get();
  if (images_) ImageList_SetBkColor(images_, kImageBackground);
  char header[] = "File";
  LVCOLUMNA column = {};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.cx = kColumnWidth;
  column.pszText = header;
  column.iSubItem = -1;
  SendMessageA(list_, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  if (images_ && list_) {
    SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_));
    ownedImages_.release();
  }
}

void ShellIconListView::InsertRow(int32_t index, const std::string& text, int32_t image) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = index;
  item.pszText = const_cast<char*>(text.c_str());
  item.iImage = image;
  SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void ShellIconListView::BeginInserting(std::size_t rows) {
  SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list_, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows), 0);
}

void ShellIconListView::EndInserting() {
  SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

IconSource::Icon ShellIconListView::ShellIcon(const std::string& key) {
  SHFILEINFOA info = {};
  if (!SHGetFileInfoA(key.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                      SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES)) {
    return nullptr;
  }
  return info.hIcon;
}

IconSource::Icon ShellIconListView::CopyImage(int32_t position) {
  return images_ ? ImageList_GetIcon(images_, position, 0) : nullptr;
}

bool ShellIconListView::AppendImage(Icon icon) {
  return images_ && ImageList_ReplaceIcon(images_, -1, static_cast<HICON>(icon)) >= 0;
}

void ShellIconListView::ReleaseIcon(Icon icon) { DestroyIcon(static_cast<HICON>(icon)); }

}  // namespace updater
