// The file list's view against the real list view, image list and shell.
#include "ui/shell_icon_list_view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using updater::ShellIconListView;

// A report-style list view as the file-list page declares it, in a window of its own.
class ListWindow {
 public:
  ListWindow() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    window_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                              WS_POPUP | LVS_REPORT | LVS_SINGLESEL | LVS_NOCOLUMNHEADER, 0, 0, 300,
                              200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  ~ListWindow() {
    if (window_) DestroyWindow(window_);
  }
  HWND get() const { return window_; }

 private:
  HWND window_ = nullptr;
};

std::string RowText(HWND list, int row) {
  char text[260] = {};
  LVITEMA item = {};
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

int RowImage(HWND list, int row) {
  LVITEMA item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return item.iImage;
}

TEST(ShellIconListView, SetsUpOneColumnAndTheSmallImageList) {
  ListWindow list;
  ASSERT_NE(list.get(), nullptr);
  ShellIconListView view;
  view.SetUpView(list.get());
  ASSERT_NE(view.Images(), nullptr);
  EXPECT_EQ(
      reinterpret_cast<HIMAGELIST>(SendMessageA(list.get(), LVM_GETIMAGELIST, LVSIL_SMALL, 0)),
      view.Images());
  EXPECT_EQ(ImageList_GetBkColor(view.Images()), static_cast<COLORREF>(1));
  int width = 0, height = 0;
  ImageList_GetIconSize(view.Images(), &width, &height);
  EXPECT_EQ(width, 16);
  EXPECT_EQ(height, 16);
  EXPECT_EQ(ImageList_GetImageCount(view.Images()), 0);

  char header[32] = {};
  LVCOLUMNA column = {};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
  column.pszText = header;
  column.cchTextMax = sizeof header;
  ASSERT_TRUE(SendMessageA(list.get(), LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)));
  EXPECT_STREQ(header, "File");
  EXPECT_EQ(column.cx, 200);
  EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
  EXPECT_FALSE(SendMessageA(list.get(), LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&column)));
}

TEST(ShellIconListView, OneShellIconPerFileType) {
  ListWindow list;
  ShellIconListView view;
  view.SetUpView(list.get());
  const struct {
    const char* key;
    int32_t position;
    int images;  // in the image list afterwards
  } steps[] = {
      {".exe", 0, 1}, {".dll", 1, 2}, {".txt", 2, 3}, {"", 3, 4},
      {".EXE", 0, 4}, {".Txt", 2, 4}, {"", 3, 4},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.key);
    EXPECT_EQ(view.IconIndexFor(step.key), step.position);
    EXPECT_EQ(ImageList_GetImageCount(view.Images()), step.images);
  }
}

TEST(ShellIconListView, RowsKeepTheirTextAndImage) {
  ListWindow list;
  ShellIconListView view;
  view.SetUpView(list.get());
  const struct {
    int32_t index;  // as inserted: the entry's position in the manifest
    const char* text;
  } rows[] = {{1, "setup.exe"}, {2, "core.dll"}, {4, "\xd6\xd0\xce\xc4.txt"}, {5, "LICENSE"}};
  for (const auto& row : rows) {
    std::string text = row.text;
    const std::size_t dot = text.rfind('.');
    view.InsertRow(row.index, text,
                   view.IconIndexFor(dot == std::string::npos ? "" : text.substr(dot)));
  }
  ASSERT_EQ(SendMessageA(list.get(), LVM_GETITEMCOUNT, 0, 0), 4);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(RowText(list.get(), i), rows[i].text);
    EXPECT_EQ(RowImage(list.get(), i), i);
  }
}

TEST(ShellIconListView, ViewDestroyedBeforeItsControl) {
  // The control owns the image list: destroying the view first leaves it usable.
  ListWindow list;
  HIMAGELIST images = nullptr;
  {
    ShellIconListView view;
    view.SetUpView(list.get());
    view.IconIndexFor(".txt");
    images = view.Images();
  }
  EXPECT_EQ(ImageList_GetImageCount(images), 1);
}

}  // namespace
