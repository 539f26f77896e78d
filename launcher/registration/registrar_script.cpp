#include "registration/registrar_script.h"

#include <memory>
#include <new>
#include <optional>

#include "platform/gbk.h"

namespace pellwick {
namespace {

using com::HResult;

constexpr std::size_t kMaxVariableName = 31;

const std::string* FindVariable(const ScriptVariables& variables, std::string_view name) {
  for (const auto& variable : variables) {
    if (platform::EqualsIgnoringAsciiCase(variable.first, name)) return &variable.second;
  }
  return nullptr;
}

// One statement of a key's block.
struct Statement {
  bool isValue = false;  // `val name = s '...'`, else a key
  std::string name;
  std::optional<std::string> value;  // a value's data, or a key's default value
  bool noRemove = false;
  bool forceRemove = false;
  std::vector<Statement> block;
};

enum class TokenKind { kWord, kQuoted, kOpen, kClose, kEquals, kEnd };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;
};

// Tokens are separated by blanks, as the registrar reads them: `{`, `}` and `=` stand alone,
// so a key name such as {GUID} is one word.
class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : text_(text) {}

  // False for a quoted text that is never closed.
  bool Next(Token& token) {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    token.text.clear();
    if (pos_ == text_.size()) {
      token.kind = TokenKind::kEnd;
      return true;
    }
    if (text_[pos_] == '\'') return Quoted(token);
    while (pos_ < text_.size() && !IsBlank(text_[pos_])) {
      const std::size_t length = platform::GbkCharLength(text_, pos_);
      token.text.append(text_.substr(pos_, length));
      pos_ += length;
    }
    token.kind = token.text == "{"   ? TokenKind::kOpen
                 : token.text == "}" ? TokenKind::kClose
                 : token.text == "=" ? TokenKind::kEquals
                                     : TokenKind::kWord;
    return true;
  }

 private:
  static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

  // A GBK trail byte is never 0x27, so the closing quote can be looked for byte by byte.
  bool Quoted(Token& token) {
    token.kind = TokenKind::kQuoted;
    for (++pos_; pos_ < text_.size(); ++pos_) {
      if (text_[pos_] != '\'') {
        token.text.push_back(text_[pos_]);
      } else if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
        token.text.push_back('\'');
        ++pos_;
      } else {
        ++pos_;
        return true;
      }
    }
    return false;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

class Parser {
 public:
  explicit Parser(std::string_view text) : tokens_(text) {}

  // The statements of the script's one HKCR block; false for anything else.
  bool ParseScript(std::vector<Statement>& block) {
    if (!Advance() || current_.kind != TokenKind::kWord ||
        !(platform::EqualsIgnoringAsciiCase(current_.text, "HKCR") ||
          platform::EqualsIgnoringAsciiCase(current_.text, "HKEY_CLASSES_ROOT"))) {
      return false;
    }
    if (!Advance() || current_.kind != TokenKind::kOpen) return false;
    if (!ParseBlock(block, 1)) return false;
    return current_.kind == TokenKind::kEnd;
  }

 private:
  static constexpr int kMaxDepth = 32;

  bool Advance() { return tokens_.Next(current_); }

  static bool IsName(const Token& token) {
    return (token.kind == TokenKind::kWord || token.kind == TokenKind::kQuoted) &&
           !token.text.empty() && platform::FindLastBackslash(token.text) == std::string::npos;
  }

  // After `{`: statements up to the matching `}`, which is consumed.
  bool ParseBlock(std::vector<Statement>& block, int depth) {
    if (depth > kMaxDepth || !Advance()) return false;
    while (current_.kind != TokenKind::kClose) {
      Statement statement;
      if (!ParseStatement(statement, depth)) return false;
      block.push_back(std::move(statement));
    }
    return Advance();
  }

  // `= s 'text'`; the current token is the `=`.
  bool ParseStringData(std::optional<std::string>& data) {
    if (!Advance() || current_.kind != TokenKind::kWord ||
        !platform::EqualsIgnoringAsciiCase(current_.text, "s")) {
      return false;
    }
    if (!Advance() || current_.kind != TokenKind::kQuoted) return false;
    data = current_.text;
    return Advance();
  }

  bool ParseStatement(Statement& statement, int depth) {
    if (current_.kind == TokenKind::kWord &&
        platform::EqualsIgnoringAsciiCase(current_.text, "val")) {
      statement.isValue = true;
      if (!Advance() || !IsName(current_)) return false;
      statement.name = current_.text;
      if (!Advance() || current_.kind != TokenKind::kEquals) return false;
      return ParseStringData(statement.value);
    }
    while (current_.kind == TokenKind::kWord) {
      if (platform::EqualsIgnoringAsciiCase(current_.text, "NoRemove")) {
        statement.noRemove = true;
      } else if (platform::EqualsIgnoringAsciiCase(current_.text, "ForceRemove")) {
        statement.forceRemove = true;
      } else {
        break;
      }
      if (!Advance()) return false;
    }
    if (!IsName(current_)) return false;
    statement.name = current_.text;
    if (!Advance()) return false;
    if (current_.kind == TokenKind::kEquals && !ParseStringData(statement.value)) return false;
    if (current_.kind == TokenKind::kOpen) return ParseBlock(statement.block, depth + 1);
    return true;
  }

  Tokenizer tokens_;
  Token current_;
};

std::string KeyPath(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "\\" + name;
}

// Keys a ForceRemove must never take with it.
bool IsProtectedKey(const std::string& name) {
  return platform::EqualsIgnoringAsciiCase(name, "CLSID") ||
         platform::EqualsIgnoringAsciiCase(name, "TypeLib");
}

class Runner {
 public:
  explicit Runner(platform::Registry& registry) : registry_(registry) {}

  bool Register(const std::string& parent, const std::vector<Statement>& block) {
    for (const Statement& statement : block) {
      if (statement.isValue) continue;  // values belong to the key that holds the block
      const std::string path = KeyPath(parent, statement.name);
      if (statement.forceRemove && !IsProtectedKey(statement.name)) registry_.DeleteTree(path);
      const std::unique_ptr<platform::RegistryKey> key = registry_.CreateKey(path);
      if (key == nullptr) return false;
      if (statement.value && !key->SetValue("", platform::StringValue(*statement.value))) {
        return false;
      }
      for (const Statement& inner : statement.block) {
        if (inner.isValue && !key->SetValue(inner.name, platform::StringValue(*inner.value))) {
          return false;
        }
      }
      if (!Register(path, statement.block)) return false;
    }
    return true;
  }

  void Unregister(const std::string& parent, const std::vector<Statement>& block) {
    for (const Statement& statement : block) {
      if (statement.isValue) continue;
      const std::string path = KeyPath(parent, statement.name);
      std::unique_ptr<platform::RegistryKey> key = registry_.OpenKey(path);
      if (key == nullptr) continue;
      for (const Statement& inner : statement.block) {
        if (inner.isValue) key->DeleteValue(inner.name);
      }
      Unregister(path, statement.block);
      if (statement.noRemove || key->HasSubKeys()) continue;
      key.reset();
      registry_.DeleteTree(path);
    }
  }

 private:
  platform::Registry& registry_;
};

}  // namespace

HResult SubstituteVariables(std::string_view script, const ScriptVariables& variables,
                            std::string& result) {
  result.clear();
  for (std::size_t pos = 0; pos < script.size();) {
    if (script[pos] != '%') {
      const std::size_t length = platform::GbkCharLength(script, pos);
      result.append(script.substr(pos, length));
      pos += length;
      continue;
    }
    if (pos + 1 < script.size() && script[pos + 1] == '%') {
      result.push_back('%');
      pos += 2;
      continue;
    }
    const std::size_t end = script.find('%', pos + 1);
    if (end == std::string_view::npos) return com::kDispEException;
    const std::string_view name = script.substr(pos + 1, end - pos - 1);
    if (name.size() > kMaxVariableName) return com::kEFail;
    const std::string* value = FindVariable(variables, name);
    if (value == nullptr) return com::kDispEException;
    result += *value;
    pos = end + 1;
  }
  return com::kSOk;
}

HResult RunRegistrarScript(std::string_view script, const ScriptVariables& variables,
                           RegistrarMode mode, platform::Registry& classesRoot) {
  try {
    std::string text;
    const HResult substituted = SubstituteVariables(script, variables, text);
    if (substituted != com::kSOk) return substituted;
    std::vector<Statement> block;
    if (!Parser(text).ParseScript(block)) return com::kDispEException;
    Runner runner(classesRoot);
    if (mode == RegistrarMode::kUnregister) {
      runner.Unregister("", block);
      return com::kSOk;
    }
    if (runner.Register("", block)) return com::kSOk;
    runner.Unregister("", block);
    return com::kDispEException;
  } catch (const std::bad_alloc&) {
    return com::kEOutOfMemory;
  }
}

}  // namespace pellwick
