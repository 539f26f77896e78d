// Registration and removal with the control's own script over an in-memory HKEY_CLASSES_ROOT,
// the script reader's rules, and the paths registration derives from the DLL's name.
#include "registration/registrar_script.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/memory_registry.h"
#include "registration/module_paths.h"
#include "registration_script.h"  // generated from launcher/res/pellwick.rgs

namespace {

using pellwick::RegistrarMode;
using pellwick::RunRegistrarScript;
using pellwick::ScriptVariables;
using namespace pellwick::com;

const std::string kClsid = "CLSID\\{A60848FE-3F33-46CA-BD67-226492E1D9A3}";
const std::string kModule = "C:\\Tavrel's Files\\PELLWI~1.DLL";

std::string_view Script() {
  return std::string_view(reinterpret_cast<const char*>(kRegistrationScript),
                          sizeof(kRegistrationScript));
}

ScriptVariables Variables() { return {{"Module", pellwick::DoubleSingleQuotes(kModule)}}; }

bool KeyExists(platform::Registry& registry, const std::string& path) {
  return registry.OpenKey(path) != nullptr;
}

// The string value `name` of `path`, or "(missing)".
std::string Value(platform::Registry& registry, const std::string& path,
                  const std::string& name = "") {
  const auto key = registry.OpenKey(path);
  platform::RegistryValue value;
  if (key == nullptr || key->QueryValue(name, 260, value) != platform::QueryStatus::kOk) {
    return "(missing)";
  }
  if (value.type != platform::kRegSz || value.data.empty() || value.data.back() != '\0') {
    return "(not a string)";
  }
  return value.data.substr(0, value.data.size() - 1);
}

// A registry that refuses to create keys whose path ends with `refused`.
class RefusingRegistry final : public platform::Registry {
 public:
  explicit RefusingRegistry(std::string refused) : refused_(std::move(refused)) {}
  std::unique_ptr<platform::RegistryKey> OpenKey(const std::string& subKey) override {
    return memory.OpenKey(subKey);
  }
  std::unique_ptr<platform::RegistryKey> CreateKey(const std::string& subKey) override {
    if (subKey.size() >= refused_.size() &&
        subKey.compare(subKey.size() - refused_.size(), refused_.size(), refused_) == 0) {
      return nullptr;
    }
    return memory.CreateKey(subKey);
  }
  bool DeleteTree(const std::string& subKey) override { return memory.DeleteTree(subKey); }

  platform::MemoryRegistry memory;

 private:
  std::string refused_;
};

class RegistrarScript : public ::testing::Test {
 protected:
  HResult Run(RegistrarMode mode) { return RunRegistrarScript(Script(), Variables(), mode, hkcr); }

  platform::MemoryRegistry hkcr;
};

TEST_F(RegistrarScript, WritesEveryEntry) {
  ASSERT_EQ(Run(RegistrarMode::kRegister), kSOk);
  struct Entry {
    std::string path;
    std::string name;
    std::string data;
  };
  const Entry entries[] = {
      {"MYPellwick.ReadInfo.1", "", "ReadInfo Class"},
      {"MYPellwick.ReadInfo.1\\CLSID", "", "{A60848FE-3F33-46CA-BD67-226492E1D9A3}"},
      {"MYPellwick.ReadInfo", "", "ReadInfo Class"},
      {"MYPellwick.ReadInfo\\CLSID", "", "{A60848FE-3F33-46CA-BD67-226492E1D9A3}"},
      {"MYPellwick.ReadInfo\\CurVer", "", "MYPellwick.ReadInfo.1"},
      {kClsid, "", "ReadInfo Class"},
      {kClsid + "\\ProgID", "", "MYPellwick.ReadInfo.1"},
      {kClsid + "\\VersionIndependentProgID", "", "MYPellwick.ReadInfo"},
      {kClsid + "\\InprocServer32", "", kModule},  // the quote doubled for the script, once here
      {kClsid + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {kClsid + "\\TypeLib", "", "{F7D428EF-8049-481B-A586-8811F91C66DF}"},
  };
  for (const Entry& entry : entries) {
    SCOPED_TRACE(entry.path + " / " + entry.name);
    EXPECT_EQ(Value(hkcr, entry.path, entry.name), entry.data);
  }
  EXPECT_TRUE(KeyExists(hkcr, kClsid + "\\Programmable"));
  EXPECT_EQ(Value(hkcr, kClsid + "\\Programmable"), "(missing)");
  EXPECT_EQ(Value(hkcr, "CLSID"), "(missing)");
}

TEST_F(RegistrarScript, RegisteringTwiceLeavesOneCleanSubtree) {
  ASSERT_EQ(Run(RegistrarMode::kRegister), kSOk);
  ASSERT_NE(hkcr.CreateKey(kClsid + "\\Stale\\Deeper"), nullptr);
  hkcr.OpenKey(kClsid + "\\Programmable")->SetValue("Stale", platform::StringValue("x"));
  ASSERT_EQ(Run(RegistrarMode::kRegister), kSOk);
  EXPECT_FALSE(KeyExists(hkcr, kClsid + "\\Stale"));
  EXPECT_EQ(Value(hkcr, kClsid + "\\Programmable", "Stale"), "(missing)");
  EXPECT_EQ(Value(hkcr, kClsid + "\\InprocServer32"), kModule);
}

TEST_F(RegistrarScript, RemovalTakesEverythingButTheClsidKey) {
  ASSERT_NE(hkcr.CreateKey("CLSID\\{00000000-0000-0000-0000-000000000001}"), nullptr);
  ASSERT_EQ(Run(RegistrarMode::kRegister), kSOk);
  ASSERT_EQ(Run(RegistrarMode::kUnregister), kSOk);
  EXPECT_FALSE(KeyExists(hkcr, "MYPellwick.ReadInfo.1"));
  EXPECT_FALSE(KeyExists(hkcr, "MYPellwick.ReadInfo"));
  EXPECT_FALSE(KeyExists(hkcr, kClsid));
  EXPECT_TRUE(KeyExists(hkcr, "CLSID\\{00000000-0000-0000-0000-000000000001}"));
}

TEST_F(RegistrarScript, ClsidKeyStaysEvenWhenEmpty) {
  ASSERT_EQ(Run(RegistrarMode::kRegister), kSOk);
  ASSERT_EQ(Run(RegistrarMode::kUnregister), kSOk);
  ASSERT_TRUE(KeyExists(hkcr, "CLSID"));
  EXPECT_FALSE(hkcr.OpenKey("CLSID")->HasSubKeys());
}

TEST_F(RegistrarScript, ForeignSubkeyKeepsOnlyItsKey) {
  ASSERT_EQ(Run(RegistrarMode::kRegister), kSOk);
  ASSERT_NE(hkcr.CreateKey(kClsid + "\\Implemented Categories"), nullptr);
  ASSERT_EQ(Run(RegistrarMode::kUnregister), kSOk);
  EXPECT_TRUE(KeyExists(hkcr, kClsid + "\\Implemented Categories"));
  for (const char* gone : {"\\ProgID", "\\VersionIndependentProgID", "\\Programmable",
                           "\\InprocServer32", "\\TypeLib"}) {
    EXPECT_FALSE(KeyExists(hkcr, kClsid + gone)) << gone;
  }
  EXPECT_FALSE(KeyExists(hkcr, "MYPellwick.ReadInfo"));
  EXPECT_FALSE(KeyExists(hkcr, "MYPellwick.ReadInfo.1"));
}

TEST_F(RegistrarScript, RemovingWhatIsNotThereChangesNothing) {
  EXPECT_EQ(Run(RegistrarMode::kUnregister), kSOk);
  EXPECT_FALSE(KeyExists(hkcr, "CLSID"));
  EXPECT_FALSE(KeyExists(hkcr, "MYPellwick.ReadInfo"));
}

TEST(RegistrarScriptFailure, AFailingKeyUndoesTheWholeScript) {
  RefusingRegistry registry("\\TypeLib");
  ASSERT_NE(registry.memory.CreateKey("CLSID\\{00000000-0000-0000-0000-000000000001}"), nullptr);
  EXPECT_EQ(RunRegistrarScript(Script(), Variables(), RegistrarMode::kRegister, registry),
            kDispEException);
  EXPECT_FALSE(KeyExists(registry, "MYPellwick.ReadInfo.1"));
  EXPECT_FALSE(KeyExists(registry, "MYPellwick.ReadInfo"));
  EXPECT_FALSE(KeyExists(registry, kClsid));
  EXPECT_TRUE(KeyExists(registry, "CLSID\\{00000000-0000-0000-0000-000000000001}"));
}

TEST(RegistrarScriptSyntax, ScriptsThatCannotBeReadTouchNothing) {
  struct Row {
    const char* what;
    const char* script;
  };
  const Row rows[] = {
      {"another root", "HKLM\r\n{\r\n\tA = s 'x'\r\n}\r\n"},
      {"no closing brace", "HKCR\r\n{\r\n\tA = s 'x'\r\n"},
      {"quoted text never closed", "HKCR\r\n{\r\n\tA = s 'x\r\n}\r\n"},
      {"value type other than s", "HKCR\r\n{\r\n\tA = d '1'\r\n}\r\n"},
      {"val without data", "HKCR\r\n{\r\n\tA\r\n\t{\r\n\t\tval B\r\n\t}\r\n}\r\n"},
      {"text after the block", "HKCR\r\n{\r\n\tA\r\n}\r\nB\r\n"},
      {"key name with a backslash", "HKCR\r\n{\r\n\tA\\B\r\n}\r\n"},
      {"empty", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    for (RegistrarMode mode : {RegistrarMode::kRegister, RegistrarMode::kUnregister}) {
      platform::MemoryRegistry registry;
      ASSERT_NE(registry.CreateKey("A"), nullptr);
      EXPECT_EQ(RunRegistrarScript(row.script, {}, mode, registry), kDispEException);
      EXPECT_TRUE(KeyExists(registry, "A"));
      EXPECT_FALSE(KeyExists(registry, "B"));
    }
  }
}

TEST(RegistrarScriptSyntax, QuotedNamesAndDoubledQuotes) {
  platform::MemoryRegistry registry;
  const char script[] =
      "HKCR\r\n{\r\n\t'Two Words' = s 'it''s'\r\n\t{\r\n\t\tval 'A B' = s ''''\r\n\t}\r\n}\r\n";
  ASSERT_EQ(RunRegistrarScript(script, {}, RegistrarMode::kRegister, registry), kSOk);
  EXPECT_EQ(Value(registry, "Two Words"), "it's");
  EXPECT_EQ(Value(registry, "Two Words", "A B"), "'");
}

TEST(RegistrarScriptSyntax, ForceRemoveNeverTakesClsidOrTypeLib) {
  platform::MemoryRegistry registry;
  ASSERT_NE(registry.CreateKey("CLSID\\Other"), nullptr);
  ASSERT_NE(registry.CreateKey("TypeLib\\Other"), nullptr);
  ASSERT_NE(registry.CreateKey("Mine\\Old"), nullptr);
  const char script[] =
      "HKCR\r\n{\r\n\tForceRemove CLSID\r\n\tForceRemove TYPELIB\r\n\tForceRemove Mine\r\n}\r\n";
  ASSERT_EQ(RunRegistrarScript(script, {}, RegistrarMode::kRegister, registry), kSOk);
  EXPECT_TRUE(KeyExists(registry, "CLSID\\Other"));
  EXPECT_TRUE(KeyExists(registry, "TypeLib\\Other"));
  EXPECT_TRUE(KeyExists(registry, "Mine"));
  EXPECT_FALSE(KeyExists(registry, "Mine\\Old"));
}

TEST(SubstituteVariables, ReplacesRegisteredNames) {
  const ScriptVariables variables = {
      {"Module", "C:\\P.dll"}, {std::string(31, 'n'), "long"}, {std::string(32, 'n'), "too long"}};
  struct Row {
    std::string script;
    HResult result;
    std::string text;
  };
  const Row rows[] = {
      {"'%MODULE%'", kSOk, "'C:\\P.dll'"},
      {"%module%%Module%", kSOk, "C:\\P.dllC:\\P.dll"},
      {"100%% sure", kSOk, "100% sure"},
      {"%" + std::string(31, 'N') + "%", kSOk, "long"},
      {"%" + std::string(32, 'n') + "%", kEFail, ""},
      {"%Unknown%", kDispEException, ""},
      {"%Module", kDispEException, ""},
      {"\xca\xe9\xc3\xfb", kSOk, "\xca\xe9\xc3\xfb"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.script);
    std::string text;
    EXPECT_EQ(pellwick::SubstituteVariables(row.script, variables, text), row.result);
    if (row.result == kSOk) {
      EXPECT_EQ(text, row.text);
    }
  }
}

TEST(ModulePaths, ServerPathFallsBackToTheLongPath) {
  const std::string longPath = "C:\\Program Files\\Pellwick\\Pellwick.dll";
  const char shortPath[] = "C:\\PROGRA~1\\Pellwick\\Pellwick.dll";
  const uint32_t shortLength = sizeof(shortPath) - 1;
  struct Row {
    const char* what;
    const char* buffer;
    uint32_t length;
    size_t capacity;
    std::string expected;
  };
  const Row rows[] = {
      {"short form fits", shortPath, shortLength, 260, shortPath},
      {"GetShortPathNameA failed", shortPath, 0, 260, longPath},
      {"needs the whole buffer and more", shortPath, shortLength, shortLength, longPath},
      {"needs a larger buffer", shortPath, 300, 260, longPath},
      {"no buffer", nullptr, shortLength, 260, longPath},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(pellwick::ServerPath(longPath, row.buffer, row.length, row.capacity), row.expected);
  }
}

TEST(ModulePaths, QuotesDoubled) {
  EXPECT_EQ(pellwick::DoubleSingleQuotes("C:\\Tavrel's 'x'\\P.dll"), "C:\\Tavrel''s ''x''\\P.dll");
  EXPECT_EQ(pellwick::DoubleSingleQuotes("\xd5\x5c'"), "\xd5\x5c''");
}

TEST(ModulePaths, TypeLibraryFileAndHelpDirectory) {
  struct Row {
    std::string path;
    std::string tlb;
    std::string helpDirectory;
  };
  const Row rows[] = {
      {"C:\\Reader\\Pellwick.dll", "C:\\Reader\\Pellwick.tlb", "C:\\Reader\\"},
      {"C:\\Reader.1\\Pellwick", "C:\\Reader.1\\Pellwick.tlb", "C:\\Reader.1\\"},
      {"C:/Reader/Pellwick.x.dll", "C:/Reader/Pellwick.x.tlb", "C:/Reader/"},
      {"C:Pellwick.dll", "C:Pellwick.tlb", "C:"},
      {"Pellwick", "Pellwick.tlb", ""},
      // A GBK character whose trail byte is 0x5C is no separator.
      {"C:\\x.\x95\x5cy", "C:\\x.tlb", "C:\\"},
      {"C:\\dir\\\x95\x5c.dll", "C:\\dir\\\x95\x5c.tlb", "C:\\dir\\"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(pellwick::TypeLibraryFilePath(row.path), row.tlb);
    EXPECT_EQ(pellwick::HelpDirectory(row.path), row.helpDirectory);
  }
}

}  // namespace
