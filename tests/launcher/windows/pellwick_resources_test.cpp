// The resources of both Pellwick.dll builds, read back out of the binaries: the registration
// script byte for byte, the type library, string 100 and the version block with
// OLESelfRegister, all in language 0x0804.
#include <windows.h>
// The OLE headers need windows.h first.
#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "registration_script.h"
#include "support/resource_reading.h"

namespace {

const GUID kLibid = {0xf7d428ef, 0x8049, 0x481b, {0xa5, 0x86, 0x88, 0x11, 0xf9, 0x1c, 0x66, 0xdf}};

struct Build {
  const char* preset;
  SYSKIND syskind;
};

// build\<preset>\bin\Pellwick.dll.
std::wstring DllPath(const char* preset) {
  return testing_support::BuildFolder() + L"\\" + std::wstring(preset, preset + strlen(preset)) +
         L"\\bin\\Pellwick.dll";
}

class PellwickResources : public ::testing::TestWithParam<Build> {
 protected:
  void SetUp() override {
    path_ = DllPath(GetParam().preset);
    module_ = LoadLibraryExW(path_.c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << "cannot load the " << GetParam().preset << " Pellwick.dll";
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  std::string Resource(LPCWSTR type, WORD id) const {
    return testing_support::Resource(module_, type, id);
  }

  std::wstring path_;
  HMODULE module_ = nullptr;
};

TEST_P(PellwickResources, RegistrationScriptByteForByte) {
  EXPECT_EQ(
      Resource(L"REGISTRY", 101),
      std::string(reinterpret_cast<const char*>(kRegistrationScript), sizeof kRegistrationScript));
}

TEST_P(PellwickResources, TypeLibrary) {
  const std::string bytes = Resource(L"TYPELIB", 1);
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 4), "MSFT");
  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadTypeLibEx(path_.c_str(), REGKIND_NONE, &library), S_OK);
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, kLibid));
  EXPECT_EQ(attributes->wMajorVerNum, 1);
  EXPECT_EQ(attributes->wMinorVerNum, 0);
  EXPECT_EQ(attributes->syskind, GetParam().syskind);
  library->ReleaseTLibAttr(attributes);
  BSTR help = nullptr;
  ASSERT_EQ(library->GetDocumentation(-1, nullptr, &help, nullptr, nullptr), S_OK);
  EXPECT_EQ(std::wstring(help), L"Pellwick 1.0 Type Library");
  SysFreeString(help);
  library->Release();
}

TEST_P(PellwickResources, String100) {
  EXPECT_EQ(testing_support::TableString(module_, 100), L"Pellwick");
}

TEST_P(PellwickResources, VersionBlockMarksTheDllSelfRegistering) {
  ASSERT_FALSE(Resource(MAKEINTRESOURCEW(16) /* RT_VERSION */, 1).empty());
  std::vector<char> data = testing_support::VersionInformation(path_);
  ASSERT_FALSE(data.empty());
  const VS_FIXEDFILEINFO* fixed = testing_support::FixedFileInfo(data);
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
  const struct {
    const wchar_t* name;
    const wchar_t* value;
  } strings[] = {
      {L"CompanyName", L""},
      {L"FileDescription", L"Pellwick Module"},
      {L"FileVersion", L"1, 0, 0, 1"},
      {L"InternalName", L"Pellwick"},
      {L"OriginalFilename", L"Pellwick.DLL"},
      {L"ProductName", L"Pellwick Module"},
      {L"ProductVersion", L"1, 0, 0, 1"},
      {L"OLESelfRegister", L""},
  };
  for (const auto& expected : strings) {
    const wchar_t* value = testing_support::VersionString(data, L"040904B0", expected.name);
    ASSERT_NE(value, nullptr) << "no " << expected.name;
    EXPECT_EQ(std::wstring(value), expected.value);
  }
  DWORD* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(*translation, MAKELONG(0x0409, 1200));
}

INSTANTIATE_TEST_SUITE_P(Builds, PellwickResources,
                         ::testing::Values(Build{"win64", SYS_WIN64}, Build{"win32", SYS_WIN32}),
                         [](const auto& info) { return std::string(info.param.preset); });

}  // namespace
