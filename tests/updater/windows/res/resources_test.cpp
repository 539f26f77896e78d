// The resources of both Ostrel.exe builds, read back out of the binaries: dialog sizes,
// captions, fonts and styles, the icon's images, the side picture's format, string 101 and
// the version block, all in language 0x0804.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/resource_reading.h"

namespace {

using testing_support::BuildFolder;
using testing_support::Resource;

struct Binary {
  const char* preset;
  std::wstring path;
};

std::vector<Binary> Binaries() {
  return {{"win64", BuildFolder() + L"\\win64\\bin\\Ostrel.exe"},
          {"win32", BuildFolder() + L"\\win32\\bin\\Ostrel.exe"}};
}

struct DialogFacts {
  DWORD style = 0;
  short cx = 0;
  short cy = 0;
  std::wstring caption;
  WORD pointSize = 0;
  std::wstring font;
};

// Reads DLGTEMPLATE or DLGTEMPLATEEX up to the font name.
DialogFacts ReadDialog(const std::string& bytes) {
  DialogFacts facts;
  const auto* words = reinterpret_cast<const WORD*>(bytes.data());
  std::size_t at = 0;  // in WORDs
  const bool extended = words[0] == 1 && words[1] == 0xFFFF;
  if (extended) {
    std::memcpy(&facts.style, words + 6, sizeof facts.style);
    at = 11;  // dlgVer, signature, helpID, exStyle, style, cDlgItems, x, y
  } else {
    std::memcpy(&facts.style, words, sizeof facts.style);
    at = 7;  // style, exStyle, cdit, x, y
  }
  facts.cx = static_cast<short>(words[at++]);
  facts.cy = static_cast<short>(words[at++]);
  auto skipNameOrOrdinal = [&] {
    if (words[at] == 0xFFFF) {
      at += 2;
    } else {
      while (words[at] != 0) ++at;
      ++at;
    }
  };
  skipNameOrOrdinal();  // menu
  skipNameOrOrdinal();  // class
  while (words[at] != 0) facts.caption.push_back(static_cast<wchar_t>(words[at++]));
  ++at;
  if (facts.style & DS_SETFONT) {
    facts.pointSize = words[at++];
    if (extended) at += 2;  // weight, italic and charset
    while (words[at] != 0) facts.font.push_back(static_cast<wchar_t>(words[at++]));
  }
  return facts;
}

class OstrelResources : public ::testing::TestWithParam<Binary> {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(GetParam().path.c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << "cannot load " << GetParam().preset << " Ostrel.exe";
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
};

TEST_P(OstrelResources, Dialogs) {
  const struct {
    WORD id;
    short cx;
    short cy;
    const wchar_t* caption;
    bool visible;
  } dialogs[] = {
      {100, 235, 55, L"\u5173\u4e8e Ostrel", false},  // 关于 Ostrel
      {102, 166, 59, L"Ostrel", true},
      {218, 302, 221, L"\u5728\u7ebf\u5347\u7ea7\u5411\u5bfc", false},  // 在线升级向导
      {219, 302, 221, L"\u5728\u7ebf\u5347\u7ea7\u5411\u5bfc", false},
      {227, 302, 221, L"\u5728\u7ebf\u5347\u7ea7\u5411\u5bfc", false},
      {251, 302, 221, L"\u5728\u7ebf\u5347\u7ea7\u5411\u5bfc", false},
  };
  for (const auto& expected : dialogs) {
    SCOPED_TRACE(expected.id);
    const std::string bytes = Resource(module_, MAKEINTRESOURCEW(5) /* RT_DIALOG */, expected.id);
    ASSERT_FALSE(bytes.empty()) << "no dialog in language 0x0804";
    const DialogFacts facts = ReadDialog(bytes);
    EXPECT_EQ(facts.cx, expected.cx);
    EXPECT_EQ(facts.cy, expected.cy);
    EXPECT_EQ(facts.caption, expected.caption);
    EXPECT_EQ(facts.pointSize, 9);
    EXPECT_EQ(facts.font, L"\u5b8b\u4f53");  // 宋体
    EXPECT_TRUE(facts.style & DS_MODALFRAME);
    EXPECT_TRUE(facts.style & WS_CAPTION);
    EXPECT_TRUE(facts.style & WS_SYSMENU);
    EXPECT_EQ((facts.style & WS_VISIBLE) != 0, expected.visible);
  }
}

TEST_P(OstrelResources, IconHasA32And16PixelImageOf8Bits) {
  const std::string group = Resource(module_, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, 128);
  ASSERT_GE(group.size(), 6u);
  WORD count = 0;
  std::memcpy(&count, group.data() + 4, sizeof count);
  ASSERT_EQ(count, 2);
  std::vector<int> sizes;
  for (WORD i = 0; i < count; ++i) {
    const char* entry = group.data() + 6 + 14 * i;  // GRPICONDIRENTRY
    WORD bitCount = 0;
    std::memcpy(&bitCount, entry + 6, sizeof bitCount);
    sizes.push_back(static_cast<unsigned char>(entry[0]));
    EXPECT_EQ(bitCount, 8);
  }
  EXPECT_EQ(sizes, (std::vector<int>{32, 16}));
}

TEST_P(OstrelResources, SidePictureIs138By278With16Bits) {
  const std::string bitmap = Resource(module_, MAKEINTRESOURCEW(2) /* RT_BITMAP */, 225);
  ASSERT_GE(bitmap.size(), sizeof(BITMAPINFOHEADER));
  BITMAPINFOHEADER header;
  std::memcpy(&header, bitmap.data(), sizeof header);
  EXPECT_EQ(header.biWidth, 138);
  EXPECT_EQ(std::abs(header.biHeight), 278);
  EXPECT_EQ(header.biBitCount, 16);
}

TEST_P(OstrelResources, String101) {
  EXPECT_EQ(testing_support::TableString(module_, 101),
            L"\u5173\u4e8e Ostrel(&A)...");  // 关于 Ostrel(&A)...
}

TEST_P(OstrelResources, TheUpdateKeyItsBuildWasGivenAndNoOther) {
  // CMake writes the key it embeds beside the build's resources; a build without keys has none.
  const std::wstring build = GetParam().path.substr(0, GetParam().path.rfind(L"\\bin\\"));
  std::ifstream der(std::filesystem::path(build + L"\\updater\\windows\\update_key.der"),
                    std::ios::binary);
  const std::string expected{std::istreambuf_iterator<char>(der), std::istreambuf_iterator<char>()};
  EXPECT_EQ(Resource(module_, MAKEINTRESOURCEW(10) /* RT_RCDATA */, 300), expected);
  EXPECT_EQ(Resource(module_, MAKEINTRESOURCEW(10), 301), "");
}

INSTANTIATE_TEST_SUITE_P(Builds, OstrelResources, ::testing::ValuesIn(Binaries()),
                         [](const auto& info) { return std::string(info.param.preset); });

TEST(OstrelVersion, FixedAndStringInformation) {
  const std::wstring path = Binaries()[0].path;
  std::vector<char> data = testing_support::VersionInformation(path);
  ASSERT_FALSE(data.empty());
  const VS_FIXEDFILEINFO* fixed = testing_support::FixedFileInfo(data);
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  const struct {
    const wchar_t* name;
    const wchar_t* value;
  } strings[] = {
      {L"InternalName", L"Ostrel"},
      {L"OriginalFilename", L"Ostrel.EXE"},
      {L"ProductName", L"Ostrel \u5e94\u7528\u7a0b\u5e8f"},  // Ostrel 应用程序
      {L"FileVersion", L"1, 0, 0, 1"},
  };
  for (const auto& expected : strings) {
    const wchar_t* value = testing_support::VersionString(data, L"080404B0", expected.name);
    ASSERT_NE(value, nullptr) << "no " << expected.name;
    EXPECT_EQ(std::wstring(value), expected.value);
  }
}

}  // namespace
