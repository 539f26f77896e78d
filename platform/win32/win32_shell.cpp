#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "platform/shell.h"

namespace platform {
namespace {

class Win32Shell final : public Shell {
 public:
  bool Execute(const std::string& file, const std::string& parameters) override {
    const HINSTANCE result =
        ::ShellExecuteA(nullptr, "open", file.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL);
    // Values above 32 mean success; the result is an HINSTANCE only for old programs' sake.
    return reinterpret_cast<INT_PTR>(result) > 32;
  }
};

class Win32MessageBoxes final : public MessageBoxes {
 public:
  int Show(const std::string& text, const std::string& caption, uint32_t style) override {
    return ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), style);
  }
};

}  // namespace

Shell& SystemShell() {
  static Win32Shell shell;
  return shell;
}

MessageBoxes& SystemMessageBoxes() {
  static Win32MessageBoxes boxes;
  return boxes;
}

}  // namespace platform
