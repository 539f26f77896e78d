// Registration as data: the ReadInfo class's table written and removed over a registry (natively
// the in-memory one, under Wine the real one, below a key of the test's own), the rollback after
// a failure at each step, the table's agreement with the DLL's script resource, and the paths
// registration derives from the DLL's name.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registration/module_paths.h"
#include "registration/read_info_entries.h"
#include "registration/registry_table.h"
#include "registration_script.h"  // generated from launcher/windows/res/pellwick.rgs
#include "support/redirected_registry.h"
#include "support/unique_name.h"

namespace {

using launcher::KeyRule;
using launcher::RegistryEntry;
using namespace launcher::com;

const std::string kClsid = "CLSID\\{A60848FE-3F33-46CA-BD67-226492E1D9A3}";
const std::string kForeignClass = "CLSID\\{00000000-0000-0000-0000-000000000001}";
// A quote, which the registrar's script had to double: the registry gets the path as it is.
const std::string kModule = "C:\\Tavrel's Files\\PELLWI~1.DLL";

// A HKEY_CLASSES_ROOT of the test's own.
struct Classes {
  launcher::com::HResult Register() {
    return launcher::ApplyRegistration(launcher::kReadInfoRegistration, kModule, hive);
  }
  void Unregister() { launcher::RemoveRegistration(launcher::kReadInfoRegistration, hive); }
  void Create(const std::string& path, const char* name = nullptr) {
    const auto key = hive.CreateKey(path);
    ASSERT_NE(key, nullptr) << path;
    if (name != nullptr) {
      ASSERT_TRUE(key->SetValue(name, platform::StringValue("foreign")));
    }
  }

  testing_support::RedirectedRegistry hive{
      platform::CurrentUserRegistry(), testing_support::UniqueName("Software\\TavrelTests\\hkcr")};
};

// What `registry` holds at `path`: "(no key)"; "(key)" when `name` is null; else the string value
// `name`, or "(no value)".
std::string Probe(platform::Registry& registry, const std::string& path, const char* name) {
  const auto key = registry.OpenKey(path);
  if (key == nullptr) return "(no key)";
  if (name == nullptr) return "(key)";
  platform::RegistryValue value;
  if (key->QueryValue(name, 260, value) != platform::QueryStatus::kOk) return "(no value)";
  if (value.type != platform::kRegSz || value.data.empty() || value.data.back() != '\0') {
    return "(not a string)";
  }
  return value.data.substr(0, value.data.size() - 1);
}

struct Expected {
  std::string path;
  const char* name;  // nullptr: the key itself
  std::string probe;
};

void ExpectHolds(platform::Registry& registry, const std::vector<Expected>& expected) {
  for (const Expected& row : expected) {
    EXPECT_EQ(Probe(registry, row.path, row.name), row.probe)
        << row.path << " [" << (row.name != nullptr ? row.name : "key") << "]";
  }
}

TEST(Registration, WritesEveryEntry) {
  Classes classes;
  ASSERT_EQ(classes.Register(), kSOk);
  ExpectHolds(classes.hive,
              {
                  {"MYPellwick.ReadInfo.1", "", "ReadInfo Class"},
                  {"MYPellwick.ReadInfo.1\\CLSID", "", "{A60848FE-3F33-46CA-BD67-226492E1D9A3}"},
                  {"MYPellwick.ReadInfo", "", "ReadInfo Class"},
                  {"MYPellwick.ReadInfo\\CLSID", "", "{A60848FE-3F33-46CA-BD67-226492E1D9A3}"},
                  {"MYPellwick.ReadInfo\\CurVer", "", "MYPellwick.ReadInfo.1"},
                  {"CLSID", "", "(no value)"},
                  {kClsid, "", "ReadInfo Class"},
                  {kClsid + "\\ProgID", "", "MYPellwick.ReadInfo.1"},
                  {kClsid + "\\VersionIndependentProgID", "", "MYPellwick.ReadInfo"},
                  {kClsid + "\\Programmable", "", "(no value)"},
                  {kClsid + "\\InprocServer32", "", kModule},
                  {kClsid + "\\InprocServer32", "ThreadingModel", "Apartment"},
                  {kClsid + "\\TypeLib", "", "{F7D428EF-8049-481B-A586-8811F91C66DF}"},
              });
}

TEST(Registration, RegisterAndRemove) {
  struct Scenario {
    const char* what;
    std::function<void(Classes&)> run;
    std::vector<Expected> expected;
  };
  const Scenario scenarios[] = {
      {"registering twice leaves one clean subtree (ForceRemove)",
       [](Classes& c) {
         ASSERT_EQ(c.Register(), kSOk);
         c.Create(kClsid + "\\Stale\\Deeper");
         c.Create(kClsid + "\\Programmable", "Stale");
         ASSERT_EQ(c.Register(), kSOk);
       },
       {{kClsid + "\\Stale", nullptr, "(no key)"},
        {kClsid + "\\Programmable", "Stale", "(no value)"},
        {kClsid + "\\InprocServer32", "", kModule}}},
      {"removal takes everything but the shared CLSID key (NoRemove)",
       [](Classes& c) {
         c.Create(kForeignClass, "Kept");
         ASSERT_EQ(c.Register(), kSOk);
         c.Unregister();
       },
       {{"MYPellwick.ReadInfo.1", nullptr, "(no key)"},
        {"MYPellwick.ReadInfo", nullptr, "(no key)"},
        {kClsid, nullptr, "(no key)"},
        {kForeignClass, "Kept", "foreign"}}},
      {"the CLSID key stays even when nothing is left in it",
       [](Classes& c) {
         ASSERT_EQ(c.Register(), kSOk);
         c.Unregister();
         ASSERT_NE(c.hive.OpenKey("CLSID"), nullptr);
         EXPECT_FALSE(c.hive.OpenKey("CLSID")->HasSubKeys());
       },
       {{"CLSID", nullptr, "(key)"}}},
      {"a foreign subkey keeps its key and only that",
       [](Classes& c) {
         ASSERT_EQ(c.Register(), kSOk);
         c.Create(kClsid + "\\Implemented Categories");
         c.Unregister();
       },
       {{kClsid + "\\Implemented Categories", nullptr, "(key)"},
        {kClsid + "\\ProgID", nullptr, "(no key)"},
        {kClsid + "\\VersionIndependentProgID", nullptr, "(no key)"},
        {kClsid + "\\Programmable", nullptr, "(no key)"},
        {kClsid + "\\InprocServer32", nullptr, "(no key)"},
        {kClsid + "\\TypeLib", nullptr, "(no key)"},
        {"MYPellwick.ReadInfo", nullptr, "(no key)"},
        {"MYPellwick.ReadInfo.1", nullptr, "(no key)"}}},
      {"a kept key loses its named values but keeps its default value",
       [](Classes& c) {
         ASSERT_EQ(c.Register(), kSOk);
         c.Create(kClsid + "\\InprocServer32\\Foreign");
         c.Unregister();
       },
       {{kClsid + "\\InprocServer32", "", kModule},
        {kClsid + "\\InprocServer32", "ThreadingModel", "(no value)"},
        {kClsid + "\\TypeLib", nullptr, "(no key)"},
        {"MYPellwick.ReadInfo", nullptr, "(no key)"}}},
      {"removing what is not there changes nothing",
       [](Classes& c) { c.Unregister(); },
       {{"CLSID", nullptr, "(no key)"}, {"MYPellwick.ReadInfo", nullptr, "(no key)"}}},
  };
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.what);
    Classes classes;
    scenario.run(classes);
    ExpectHolds(classes.hive, scenario.expected);
  }
}

// Refuses, or runs out of memory at, the `failAt`th change: a key created or a value set.
class FailingRegistry final : public platform::Registry {
 public:
  FailingRegistry(platform::Registry& target, int failAt, bool outOfMemory)
      : target_(target), failAt_(failAt), outOfMemory_(outOfMemory) {}

  std::unique_ptr<platform::RegistryKey> OpenKey(const std::string& subKey) override {
    return Wrap(target_.OpenKey(subKey));
  }
  std::unique_ptr<platform::RegistryKey> CreateKey(const std::string& subKey) override {
    return Fails() ? nullptr : Wrap(target_.CreateKey(subKey));
  }
  bool DeleteTree(const std::string& subKey) override { return target_.DeleteTree(subKey); }

  int changes = 0;

 private:
  class Key final : public platform::RegistryKey {
   public:
    Key(FailingRegistry& owner, std::unique_ptr<platform::RegistryKey> key)
        : owner_(owner), key_(std::move(key)) {}
    platform::QueryStatus QueryValue(const std::string& name, std::size_t capacity,
                                     platform::RegistryValue& value) override {
      return key_->QueryValue(name, capacity, value);
    }
    bool SetValue(const std::string& name, const platform::RegistryValue& value) override {
      return !owner_.Fails() && key_->SetValue(name, value);
    }
    bool DeleteValue(const std::string& name) override { return key_->DeleteValue(name); }
    bool HasSubKeys() override { return key_->HasSubKeys(); }

   private:
    FailingRegistry& owner_;
    std::unique_ptr<platform::RegistryKey> key_;
  };

  bool Fails() {
    if (++changes != failAt_) return false;
    if (outOfMemory_) throw std::bad_alloc();
    return true;
  }
  std::unique_ptr<platform::RegistryKey> Wrap(std::unique_ptr<platform::RegistryKey> key) {
    return key == nullptr ? nullptr : std::make_unique<Key>(*this, std::move(key));
  }

  platform::Registry& target_;
  int failAt_;
  bool outOfMemory_;
};

TEST(Registration, AFailureAtAnyStepUndoesEverything) {
  for (const bool outOfMemory : {false, true}) {
    int steps = 0;
    for (int failAt = 1; steps == 0; ++failAt) {
      SCOPED_TRACE((outOfMemory ? "out of memory at change " : "refused change ") +
                   std::to_string(failAt));
      Classes classes;
      classes.Create(kForeignClass, "Kept");
      classes.Create("MYPellwick.Other", "Kept");
      FailingRegistry failing(classes.hive, failAt, outOfMemory);
      const HResult result =
          launcher::ApplyRegistration(launcher::kReadInfoRegistration, kModule, failing);
      if (failing.changes < failAt) {
        EXPECT_EQ(result, kSOk);
        steps = failing.changes;
        continue;
      }
      EXPECT_EQ(result, outOfMemory ? kEOutOfMemory : kDispEException);
      for (const RegistryEntry& entry : launcher::kReadInfoRegistration) {
        if (entry.rule != KeyRule::kNoRemove) {
          EXPECT_EQ(Probe(classes.hive, entry.keyPath, nullptr), "(no key)") << entry.keyPath;
        }
      }
      ExpectHolds(classes.hive,
                  {{kForeignClass, "Kept", "foreign"}, {"MYPellwick.Other", "Kept", "foreign"}});
    }
    EXPECT_EQ(steps, 24) << "13 keys created, 11 values set, each a step that can fail";
  }
}

TEST(Registration, RowRules) {
  constexpr RegistryEntry table[] = {
      {"CLSID", nullptr, nullptr, KeyRule::kForceRemove},
      {"TYPELIB", nullptr, nullptr, KeyRule::kForceRemove},
      {"Mine", "", "%MODULE%,0", KeyRule::kForceRemove},
      {"Mine\\shell\\open\\command", "", "\"%MODULE%\" \"%1\""},
      {"Mine\\shell\\open\\command", "Twice", "%MODULE%%MODULE%"},
      {"Mine\\shell\\open\\command", "None", "100%"},
  };
  Classes classes;
  classes.Create("CLSID\\Other");
  classes.Create("TypeLib\\Other");
  classes.Create("Mine\\Old");
  ASSERT_EQ(launcher::ApplyRegistration(table, "C:\\P.dll", classes.hive), kSOk);
  const std::string command = "Mine\\shell\\open\\command";
  ExpectHolds(classes.hive, {{"CLSID\\Other", nullptr, "(key)"},
                             {"TypeLib\\Other", nullptr, "(key)"},
                             {"Mine\\Old", nullptr, "(no key)"},
                             {"Mine", "", "C:\\P.dll,0"},
                             {command, "", "\"C:\\P.dll\" \"%1\""},
                             {command, "Twice", "C:\\P.dllC:\\P.dll"},
                             {command, "None", "100%"}});
}

// A row as text, for comparing the table with the script.
std::string RowText(KeyRule rule, const std::string& path, const char* name,
                    const std::string& data) {
  const char* prefix = rule == KeyRule::kNoRemove      ? "NoRemove "
                       : rule == KeyRule::kForceRemove ? "ForceRemove "
                                                       : "";
  return prefix + path + (name != nullptr ? " [" + std::string(name) + "] = " + data : "");
}

bool Take(std::string_view& text, std::string_view prefix) {
  if (text.substr(0, prefix.size()) != prefix) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// A key or value name, bare or in single quotes.
std::string TakeName(std::string_view& text) {
  const bool quoted = Take(text, "'");
  const std::size_t end = std::min(text.find(quoted ? '\'' : ' '), text.size());
  std::string name(text.substr(0, end));
  text.remove_prefix(std::min(end + (quoted ? 1 : 0), text.size()));
  return name;
}

// ` = s 'data'` up to the line's end, or nothing; false for anything else.
bool TakeData(std::string_view text, std::optional<std::string>& data) {
  if (text.empty()) return true;
  if (!Take(text, " = s '") || text.find('\'') != text.size() - 1) return false;
  data = std::string(text.substr(0, text.size() - 1));
  return true;
}

// The rows of a script laid out as res/pellwick.rgs is: CRLF line ends, one statement or brace a
// line, one tab a nesting level, no quote inside a quoted text.
std::vector<std::string> ScriptRows(std::string_view script) {
  std::vector<std::string> rows;
  std::vector<std::string> blocks;  // the key of each open block, "" for HKCR
  std::string previous;             // the key of the line before a "{"
  for (std::size_t pos = 0; pos < script.size();) {
    const std::size_t end = script.find("\r\n", pos);
    if (end == std::string_view::npos) {
      ADD_FAILURE() << "the script does not end with CR LF";
      break;
    }
    std::string_view line = script.substr(pos, end - pos);
    pos = end + 2;
    const std::size_t tabs = std::min(line.find_first_not_of('\t'), line.size());
    line.remove_prefix(tabs);
    const std::size_t depth = blocks.size() - (line == "}" ? 1 : 0);
    EXPECT_EQ(tabs, depth) << "indentation of " << line;
    std::string_view rest = line;
    std::optional<std::string> data;
    if (line == "HKCR" && blocks.empty()) {
      previous.clear();
    } else if (line == "{") {
      blocks.push_back(previous);
    } else if (line == "}" && !blocks.empty()) {
      blocks.pop_back();
    } else if (blocks.empty()) {
      ADD_FAILURE() << "outside the HKCR block: " << line;
    } else if (Take(rest, "val ")) {
      const std::string name = TakeName(rest);
      EXPECT_TRUE(TakeData(rest, data) && data) << "not read: " << line;
      rows.push_back(RowText(KeyRule::kPlain, blocks.back(), name.c_str(), data.value_or("")));
    } else {
      const KeyRule rule = Take(rest, "NoRemove ")      ? KeyRule::kNoRemove
                           : Take(rest, "ForceRemove ") ? KeyRule::kForceRemove
                                                        : KeyRule::kPlain;
      const std::string name = TakeName(rest);
      previous = blocks.back().empty() ? name : blocks.back() + "\\" + name;
      EXPECT_TRUE(TakeData(rest, data)) << "not read: " << line;
      rows.push_back(RowText(rule, previous, data ? "" : nullptr, data.value_or("")));
    }
  }
  EXPECT_TRUE(blocks.empty()) << "a block is not closed";
  return rows;
}

TEST(Registration, TableAgreesWithTheScriptResource) {
  std::vector<std::string> tableRows;
  for (const RegistryEntry& entry : launcher::kReadInfoRegistration) {
    tableRows.push_back(RowText(entry.rule, entry.keyPath, entry.valueName,
                                entry.data != nullptr ? entry.data : ""));
  }
  const std::string_view script(reinterpret_cast<const char*>(kRegistrationScript),
                                sizeof(kRegistrationScript));
  EXPECT_EQ(ScriptRows(script), tableRows);
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
    EXPECT_EQ(launcher::ServerPath(longPath, row.buffer, row.length, row.capacity), row.expected);
  }
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
    EXPECT_EQ(launcher::TypeLibraryFilePath(row.path), row.tlb);
    EXPECT_EQ(launcher::HelpDirectory(row.path), row.helpDirectory);
  }
}

}  // namespace
