#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "handles.h"
#include "platform/file_system.h"

namespace platform {
namespace {

class Win32FileWriter final : public FileWriter {
 public:
  explicit Win32FileWriter(HANDLE file) : file_(file) {}
  bool Write(std::string_view data) override {
    for (std::size_t written = 0; written < data.size();) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - written, 1 << 20));
      DWORD count = 0;
      if (!::WriteFile(file_.get(), data.data() + written, chunk, &count, nullptr) || count == 0) {
        return false;
      }
      written += count;
    }
    return true;
  }
  bool Flush() override { return ::FlushFileBuffers(file_.get()) != FALSE; }
  bool Close() override {
    const HANDLE file = file_.release();
    return file != nullptr && ::CloseHandle(file) != FALSE;
  }

 private:
  win32::UniqueHandle file_;
};

class Win32FileSystem final : public FileSystem {
 public:
  bool Exists(const std::string& path) override {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  CreateFolderResult CreateFolder(const std::string& path) override {
    if (::CreateDirectoryA(path.c_str(), nullptr)) return CreateFolderResult::kCreated;
    return ::GetLastError() == ERROR_ALREADY_EXISTS ? CreateFolderResult::kAlreadyExists
                                                    : CreateFolderResult::kFailed;
  }

  bool WriteWholeFile(const std::string& path, std::string_view data,
                      Durability durability) override {
    const bool flushed = durability == Durability::kFlushedToDisk;
    const std::string partial = PartialFileName(path);
    bool whole = false;
    {
      win32::UniqueHandle file =
          win32::OwnFileHandle(::CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr,
                                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file) return false;
      whole = true;
      for (std::size_t written = 0; whole && written < data.size();) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(data.size() - written, 1 << 20));
        DWORD count = 0;
        whole = ::WriteFile(file.get(), data.data() + written, chunk, &count, nullptr) && count > 0;
        written += count;
      }
      if (flushed) whole = whole && ::FlushFileBuffers(file.get());
      // The handle closes here, before the rename.
      whole = ::CloseHandle(file.release()) && whole;
    }
    if (whole &&
        ::MoveFileExA(partial.c_str(), path.c_str(),
                      MOVEFILE_REPLACE_EXISTING | (flushed ? MOVEFILE_WRITE_THROUGH : DWORD{0}))) {
      return true;
    }
    // The caller reads why the store failed, not why the clean-up did.
    const DWORD error = ::GetLastError();
    ::DeleteFileA(partial.c_str());
    ::SetLastError(error);
    return false;
  }

  bool AppendToFile(const std::string& path, std::string_view data) override {
    win32::UniqueHandle file = win32::OwnFileHandle(
        ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD count = 0;
    return ::WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &count, nullptr) &&
           count == data.size();
  }

  std::optional<uint64_t> FileSize(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return std::nullopt;
    }
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }

  std::unique_ptr<FileWriter> OpenForWriting(const std::string& path, bool atEnd) override {
    win32::UniqueHandle file = win32::OwnFileHandle(
        ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                      atEnd ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    if (atEnd && !::SetFilePointerEx(file.get(), LARGE_INTEGER{}, nullptr, FILE_END)) {
      return nullptr;
    }
    return std::make_unique<Win32FileWriter>(file.release());
  }

  bool RemoveFile(const std::string& path) override { return ::DeleteFileA(path.c_str()) != FALSE; }

  bool RenameReplacing(const std::string& from, const std::string& to) override {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
  }

  uint32_t LastError() override { return ::GetLastError(); }

  bool ReadFileInPieces(const std::string& path,
                        const std::function<bool(std::string_view)>& consume) override {
    const win32::UniqueHandle file =
        win32::OwnFileHandle(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    // Not zeroed: a small file touches only the pages it fills.
    const std::unique_ptr<char[]> piece(new char[kReadPieceSize]);
    for (;;) {
      DWORD count = 0;
      if (!::ReadFile(file.get(), piece.get(), static_cast<DWORD>(kReadPieceSize), &count,
                      nullptr)) {
        return false;
      }
      if (count == 0) return true;
      if (!consume(std::string_view(piece.get(), count))) return false;
    }
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static Win32FileSystem fileSystem;
  return fileSystem;
}

}  // namespace platform
