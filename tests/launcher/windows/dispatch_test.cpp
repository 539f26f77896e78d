// Pellwick.dll as automation clients use it once it is registered: created through COM by
// CLSID and ProgID, members found by name and called through IDispatch. Run by
// tests/launcher/windows/pellwick_registration_test.sh inside a registered prefix copy.
#include <windows.h>
// The OLE headers need windows.h first.
#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "pellwick_idl.h"

namespace {

const CLSID kClsidReadInfo = {
    0xa60848fe, 0x3f33, 0x46ca, {0xbd, 0x67, 0x22, 0x64, 0x92, 0xe1, 0xd9, 0xa3}};

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    CLSID clsid = {};
    ASSERT_EQ(::CLSIDFromProgID(L"MYPellwick.ReadInfo", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, kClsidReadInfo));
    ASSERT_EQ(::CoCreateInstance(kClsidReadInfo, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                 reinterpret_cast<void**>(&object)),
              S_OK);
  }
  void TearDown() override {
    if (object != nullptr) object->Release();
    ::CoUninitialize();
  }

  // The DISPIDs of `names` (member first, then parameters), or the error.
  HRESULT Ids(std::vector<std::wstring> names, std::vector<DISPID>& ids) {
    std::vector<LPOLESTR> pointers;
    for (std::wstring& name : names) pointers.push_back(&name[0]);
    ids.assign(names.size(), 0x7777);
    return object->GetIDsOfNames(IID_NULL, pointers.data(), static_cast<UINT>(pointers.size()),
                                 LOCALE_USER_DEFAULT, ids.data());
  }

  // Calls member `dispid` with `count` arguments, each the text "1".
  HRESULT Call(DISPID dispid, UINT count, WORD flags = DISPATCH_METHOD, VARIANT* result = nullptr) {
    std::vector<VARIANT> arguments(count);
    for (VARIANT& argument : arguments) {
      ::VariantInit(&argument);
      argument.vt = VT_BSTR;
      argument.bstrVal = ::SysAllocString(L"1");  // converts to BSTR and long alike
    }
    DISPPARAMS parameters = {arguments.data(), nullptr, count, 0};
    const HRESULT hr = object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                                      result, nullptr, nullptr);
    for (VARIANT& argument : arguments) ::VariantClear(&argument);
    return hr;
  }

  IDispatch* object = nullptr;
};

TEST_F(Dispatch, NamesFromTheCacheAndTheTypeInformation) {
  struct Row {
    std::vector<std::wstring> names;
    HRESULT result;
    std::vector<DISPID> ids;
  };
  const Row rows[] = {
      {{L"PassReadInfoDirect"}, S_OK, {1}},
      {{L"passreadinfodirect"}, S_OK, {1}},
      {{L"PassEncryptURL"}, S_OK, {2}},
      {{L"GetLocalID"}, S_OK, {3}},
      {{L"PassReadInfoDirectNew"}, S_OK, {4}},
      {{L"PASSREADINFODIRECTNEW2"}, S_OK, {5}},
      {{L"PassReadInfoDirectNew3"}, S_OK, {6}},
      {{L"PassReadInfoDirect", L"bstrSbkID"}, S_OK, {1, 1}},
      {{L"PassReadInfoDirectNew3", L"lDownDay"}, S_OK, {6, 7}},
      {{L"OpenBook"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.names[0].begin(), row.names[0].end()));
    std::vector<DISPID> ids;
    EXPECT_EQ(Ids(row.names, ids), row.result);
    EXPECT_EQ(ids, row.ids);
  }
}

TEST_F(Dispatch, NullNamesAreRefused) {
  LPOLESTR names[] = {nullptr};
  DISPID id = 0;
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id),
            DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, nullptr, 1, LOCALE_USER_DEFAULT, &id), E_POINTER);
}

TEST_F(Dispatch, ArgumentCountMustMatch) {
  struct Row {
    DISPID dispid;
    UINT count;
    HRESULT result;
  };
  const Row rows[] = {
      {2, 1, S_OK},
      {2, 0, DISP_E_BADPARAMCOUNT},
      {2, 2, DISP_E_BADPARAMCOUNT},
      {5, 11, S_OK},
      {5, 12, DISP_E_BADPARAMCOUNT},
      {1, 5, DISP_E_BADPARAMCOUNT},
      {1, 7, DISP_E_BADPARAMCOUNT},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.dispid) + " with " + std::to_string(row.count));
    EXPECT_EQ(Call(row.dispid, row.count), row.result);
  }
}

// The type information lists the members IReadInfo inherits, flagged restricted: a script
// that reached AddRef or Release through Invoke could free the object under its owner.
TEST_F(Dispatch, RestrictedMembersCannotBeReached) {
  ITypeInfo* info = nullptr;
  ASSERT_EQ(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
  const struct {
    const wchar_t* name;
    UINT count;
  } rows[] = {
      {L"QueryInterface", 2},   {L"AddRef", 0},        {L"Release", 0},
      {L"GetTypeInfoCount", 1}, {L"GetIDsOfNames", 5}, {L"Invoke", 8},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.name, row.name + wcslen(row.name)));
    std::wstring name = row.name;
    LPOLESTR names[] = {&name[0]};
    DISPID dispid = DISPID_UNKNOWN;
    ASSERT_EQ(info->GetIDsOfNames(names, 1, &dispid), S_OK);
    std::vector<DISPID> ids;
    EXPECT_EQ(Ids({row.name}, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids, std::vector<DISPID>{DISPID_UNKNOWN});
    EXPECT_EQ(Call(dispid, row.count), DISP_E_MEMBERNOTFOUND);
  }
  info->Release();
  // Nothing took or dropped a reference on the way.
  EXPECT_EQ(object->AddRef(), 2u);
  EXPECT_EQ(object->Release(), 1u);
}

TEST_F(Dispatch, GetLocalIdIsAStringProperty) {
  VARIANT result;
  ::VariantInit(&result);
  ASSERT_EQ(Call(3, 0, DISPATCH_PROPERTYGET, &result), S_OK);
  EXPECT_EQ(result.vt, VT_BSTR);
  ::VariantClear(&result);
  EXPECT_EQ(Call(3, 1, DISPATCH_PROPERTYGET, &result), DISP_E_BADPARAMCOUNT);
}

TEST_F(Dispatch, TypeInformationIsLoadedOnce) {
  ITypeInfo* first = nullptr;
  ITypeInfo* second = nullptr;
  ASSERT_EQ(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &first), S_OK);
  ASSERT_EQ(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &second), S_OK);
  EXPECT_EQ(first, second);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(first->GetTypeAttr(&attributes), S_OK);
  EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL);
  EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDISPATCHABLE);
  first->ReleaseTypeAttr(attributes);
  first->Release();
  second->Release();
}

}  // namespace
