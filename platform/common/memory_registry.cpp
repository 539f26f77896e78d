#include "platform/memory_registry.h"

#include <vector>

#include "platform/gbk.h"

namespace platform {

// Names are kept by their lower-case form so lookups ignore ASCII letter case.
struct MemoryRegistry::Node {
  std::map<std::string, std::shared_ptr<Node>> children;
  std::map<std::string, RegistryValue> values;
};

namespace {

using Node = MemoryRegistry::Node;

// Splits a sub-key path into its components; false for a path the registry refuses
// (a leading backslash or an empty component in the middle). One trailing backslash is allowed.
bool SplitKeyPath(const std::string& subKey, std::vector<std::string>& parts) {
  std::string current;
  for (std::size_t pos = 0; pos < subKey.size();) {
    const std::size_t length = GbkCharLength(subKey, pos);
    if (length == 1 && subKey[pos] == '\\') {
      if (current.empty()) return false;
      parts.push_back(ToLowerAscii(current));
      current.clear();
    } else {
      current.append(subKey, pos, length);
    }
    pos += length;
  }
  if (!current.empty()) parts.push_back(ToLowerAscii(current));
  return true;
}

class MemoryKey final : public RegistryKey {
 public:
  explicit MemoryKey(std::shared_ptr<Node> node) : node_(std::move(node)) {}

  QueryStatus QueryValue(const std::string& name, std::size_t capacity,
                         RegistryValue& value) override {
    const auto found = node_->values.find(ToLowerAscii(name));
    if (found == node_->values.end()) return QueryStatus::kNotFound;
    if (found->second.data.size() > capacity) return QueryStatus::kMoreData;
    value = found->second;
    return QueryStatus::kOk;
  }

  bool SetValue(const std::string& name, const RegistryValue& value) override {
    node_->values[ToLowerAscii(name)] = value;
    return true;
  }

  bool DeleteValue(const std::string& name) override {
    return node_->values.erase(ToLowerAscii(name)) == 1;
  }

  bool HasSubKeys() override { return !node_->children.empty(); }

 private:
  std::shared_ptr<Node> node_;
};

}  // namespace

MemoryRegistry::MemoryRegistry() : root_(std::make_shared<Node>()) {}
MemoryRegistry::~MemoryRegistry() = default;

std::unique_ptr<RegistryKey> MemoryRegistry::OpenKey(const std::string& subKey) {
  std::vector<std::string> parts;
  if (!SplitKeyPath(subKey, parts)) return nullptr;
  std::shared_ptr<Node> node = root_;
  for (const std::string& part : parts) {
    const auto found = node->children.find(part);
    if (found == node->children.end()) return nullptr;
    node = found->second;
  }
  return std::make_unique<MemoryKey>(node);
}

std::unique_ptr<RegistryKey> MemoryRegistry::CreateKey(const std::string& subKey) {
  std::vector<std::string> parts;
  if (!SplitKeyPath(subKey, parts)) return nullptr;
  std::shared_ptr<Node> node = root_;
  for (const std::string& part : parts) {
    std::shared_ptr<Node>& child = node->children[part];
    if (!child) child = std::make_shared<Node>();
    node = child;
  }
  return std::make_unique<MemoryKey>(node);
}

bool MemoryRegistry::DeleteTree(const std::string& subKey) {
  std::vector<std::string> parts;
  if (!SplitKeyPath(subKey, parts) || parts.empty()) return false;
  std::shared_ptr<Node> node = root_;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    const auto found = node->children.find(parts[i]);
    if (found == node->children.end()) return false;
    node = found->second;
  }
  return node->children.erase(parts.back()) == 1;
}

}  // namespace platform
