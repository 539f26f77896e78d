// A disk in memory for tests of code that moves, removes and lists files.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/file_tree.h"
#include "platform/gbk.h"
#include "support/inert_file_system.h"

namespace testing_support {

// Files and folders in memory, named by Windows paths that ignore ASCII letter case. Folders
// list "." and ".." first, then their entries in name order. Moves onto a path in `inUse`
// fail, and folders in `refuseFolders` cannot be created.
class MemoryDisk : public InertFileSystem, public platform::FileTree {
 public:
  MemoryDisk() { AddFolder("C:"); }

  // Adds a file and the folders on its way.
  void AddFile(const std::string& path, const std::string& content = "new") {
    AddParents(path);
    nodes_[Key(path)] = {Name(path), false, content};
  }
  void AddFolder(const std::string& path) {
    AddParents(path);
    nodes_[Key(path)] = {Name(path), true, {}};
  }

  // Every file and folder below `folder` as "relative path=content" (folders end in '\').
  std::vector<std::string> Below(const std::string& folder) const {
    std::vector<std::string> found;
    const std::string prefix = Key(folder) + "\\";
    for (const auto& [key, node] : nodes_) {
      if (key.compare(0, prefix.size(), prefix) != 0) continue;
      const std::string relative = node.path.substr(prefix.size());
      found.push_back(node.isFolder ? relative + "\\" : relative + "=" + node.content);
    }
    return found;
  }
  bool Has(const std::string& path) const { return nodes_.count(Key(path)) != 0; }

  bool Exists(const std::string& path) override { return Has(path); }
  platform::CreateFolderResult CreateFolder(const std::string& path) override {
    if (Has(path)) return platform::CreateFolderResult::kAlreadyExists;
    if (refuseFolders.count(Key(path)) != 0 || !HasFolder(Parent(path))) {
      return platform::CreateFolderResult::kFailed;
    }
    nodes_[Key(path)] = {Name(path), true, {}};
    created.push_back(Name(path));
    return platform::CreateFolderResult::kCreated;
  }

  std::vector<platform::FolderEntry> ListFolder(const std::string& folder) override {
    listed.push_back(folder);
    if (!platform::EndsWithBackslash(folder) || !HasFolder(folder)) return {};
    std::vector<platform::FolderEntry> entries = {{".", true}, {"..", true}};
    const std::string parent = Key(folder);
    for (const auto& [key, node] : nodes_) {
      if (Key(Parent(node.path)) == parent) {
        entries.push_back(
            {node.path.substr(platform::FindLastBackslash(node.path) + 1), node.isFolder});
      }
    }
    return entries;
  }
  bool MoveReplacing(const std::string& from, const std::string& to) override {
    if (inUse.count(Key(to)) != 0 || !IsFile(from) || !HasFolder(Parent(to)) || HasFolder(to)) {
      return false;
    }
    Node moved = nodes_[Key(from)];
    nodes_.erase(Key(from));
    moved.path = Name(to);
    nodes_[Key(to)] = moved;
    return true;
  }
  bool MoveAtRestart(const std::string& from, const std::string& to) override {
    scheduled.push_back(from + " -> " + to);
    return true;
  }
  bool RemoveFile(const std::string& path) override {
    if (!IsFile(path) || undeletable.count(Key(path)) != 0) return false;
    nodes_.erase(Key(path));
    return true;
  }
  bool RemoveEmptyFolder(const std::string& path) override {
    if (!HasFolder(path) || Below(path).size() != 0) return false;
    nodes_.erase(Key(path));
    return true;
  }
  // Every failure here is a file in use.
  uint32_t LastError() override { return 32; }

  std::set<std::string> inUse;          // keys (Key()) of targets that cannot be replaced
  std::set<std::string> refuseFolders;  // keys of folders that cannot be created
  std::set<std::string> undeletable;    // keys of files that cannot be deleted
  std::vector<std::string> scheduled;   // "from -> to" of the moves left for the restart
  std::vector<std::string> created;     // folders created, in order
  std::vector<std::string> listed;      // folders listed, as passed

  static std::string Key(const std::string& path) { return platform::ToLowerAscii(Name(path)); }

 private:
  struct Node {
    std::string path;  // as first written, without a trailing backslash
    bool isFolder;
    std::string content;
  };

  // The path without its trailing backslash.
  static std::string Name(const std::string& path) {
    return platform::EndsWithBackslash(path) ? path.substr(0, path.size() - 1) : path;
  }
  static std::string Parent(const std::string& path) {
    const std::string name = Name(path);
    const std::size_t slash = platform::FindLastBackslash(name);
    return slash == std::string::npos ? std::string() : name.substr(0, slash);
  }
  void AddParents(const std::string& path) {
    for (std::string parent = Parent(path); !parent.empty() && !Has(parent);
         parent = Parent(parent)) {
      nodes_[Key(parent)] = {parent, true, {}};
    }
  }
  bool HasFolder(const std::string& path) const {
    const auto found = nodes_.find(Key(path));
    return found != nodes_.end() && found->second.isFolder;
  }
  bool IsFile(const std::string& path) const {
    const auto found = nodes_.find(Key(path));
    return found != nodes_.end() && !found->second.isFolder;
  }

  std::map<std::string, Node> nodes_;
};

}  // namespace testing_support
