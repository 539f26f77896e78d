// Starting programs through the shell and showing message boxes.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens `file` with the verb "open", `parameters` as its command line, no owner window, no
  // working directory and the normal show state, like ShellExecuteA. The started program runs
  // on independently; true when the shell reports that it started.
  virtual bool Execute(const std::string& file, const std::string& parameters) = 0;
};

// Message box styles as the platform numbers them.
constexpr uint32_t kMbOk = 0x00;
constexpr uint32_t kMbIconWarning = 0x30;

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows a box without an owner window and returns when the user has closed it, like
  // MessageBoxA; the result is the button the user chose.
  virtual int Show(const std::string& text, const std::string& caption, uint32_t style) = 0;
};

#ifdef _WIN32
// The running system's shell and message boxes (Windows builds only: natively there is no
// program to start and no one to close a box, so tests pass their own).
Shell& SystemShell();
MessageBoxes& SystemMessageBoxes();
#endif

}  // namespace platform
