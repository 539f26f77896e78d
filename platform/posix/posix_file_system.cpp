#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "host_path.h"
#include "platform/file_system.h"
#include "platform/processes.h"

namespace platform {
namespace {

// Writes all of `data` to a file just opened (-1 when the open failed) and closes it; false,
// with errno saying why, when any step failed.
bool WriteAndClose(int file, std::string_view data, bool flushed = false) {
  if (file < 0) return false;
  bool whole = true;
  for (std::size_t written = 0; whole && written < data.size();) {
    const ssize_t count = ::write(file, data.data() + written, data.size() - written);
    if (count < 0 && errno == EINTR) continue;
    whole = count > 0;
    if (whole) written += static_cast<std::size_t>(count);
  }
  if (flushed) whole = whole && ::fsync(file) == 0;
  const int error = errno;
  whole = ::close(file) == 0 && whole;
  if (!whole) errno = error;
  return whole;
}

class PosixFileWriter final : public FileWriter {
 public:
  explicit PosixFileWriter(int file) : file_(file) {}
  ~PosixFileWriter() override {
    if (file_ >= 0) ::close(file_);
  }
  bool Write(std::string_view data) override {
    for (std::size_t written = 0; written < data.size();) {
      const ssize_t count = ::write(file_, data.data() + written, data.size() - written);
      if (count < 0 && errno == EINTR) continue;
      if (count <= 0) return false;
      written += static_cast<std::size_t>(count);
    }
    return true;
  }
  bool Flush() override { return ::fsync(file_) == 0; }
  bool Close() override {
    const int file = file_;
    file_ = -1;
    return file >= 0 && ::close(file) == 0;
  }

 private:
  int file_;
};

class PosixFileSystem final : public FileSystem {
 public:
  bool Exists(const std::string& path) override {
    return ::access(ToHostPath(path).c_str(), F_OK) == 0;
  }

  CreateFolderResult CreateFolder(const std::string& path) override {
    if (::mkdir(ToHostPath(path).c_str(), 0777) == 0) return CreateFolderResult::kCreated;
    return errno == EEXIST ? CreateFolderResult::kAlreadyExists : CreateFolderResult::kFailed;
  }

  bool WriteWholeFile(const std::string& path, std::string_view data,
                      Durability durability) override {
    const std::string target = ToHostPath(path);
    const std::string partial = ToHostPath(PartialFileName(path));
    if (WriteAndClose(::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666), data,
                      durability == Durability::kFlushedToDisk) &&
        ::rename(partial.c_str(), target.c_str()) == 0) {
      return true;
    }
    const int error = errno;  // why the store failed, not the clean-up
    ::unlink(partial.c_str());
    errno = error;
    return false;
  }

  bool AppendToFile(const std::string& path, std::string_view data) override {
    return WriteAndClose(::open(ToHostPath(path).c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666),
                         data);
  }

  std::optional<uint64_t> FileSize(const std::string& path) override {
    struct stat status {};
    if (::stat(ToHostPath(path).c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
      return std::nullopt;
    }
    return static_cast<uint64_t>(status.st_size);
  }

  std::unique_ptr<FileWriter> OpenForWriting(const std::string& path, bool atEnd) override {
    const int file =
        ::open(ToHostPath(path).c_str(), O_WRONLY | O_CREAT | (atEnd ? O_APPEND : O_TRUNC), 0666);
    if (file < 0) return nullptr;
    return std::make_unique<PosixFileWriter>(file);
  }

  bool RemoveFile(const std::string& path) override {
    return ::unlink(ToHostPath(path).c_str()) == 0;
  }

  bool RenameReplacing(const std::string& from, const std::string& to) override {
    return ::rename(ToHostPath(from).c_str(), ToHostPath(to).c_str()) == 0;
  }

  uint32_t LastError() override { return static_cast<uint32_t>(errno); }

  bool ReadFileInPieces(const std::string& path,
                        const std::function<bool(std::string_view)>& consume) override {
    const int file = ::open(ToHostPath(path).c_str(), O_RDONLY);
    if (file < 0) return false;
    // Not zeroed: a small file touches only the pages it fills.
    const std::unique_ptr<char[]> piece(new char[kReadPieceSize]);
    bool whole = true;
    for (;;) {
      const ssize_t count = ::read(file, piece.get(), kReadPieceSize);
      if (count < 0 && errno == EINTR) continue;
      whole =
          count >= 0 &&
          (count == 0 || consume(std::string_view(piece.get(), static_cast<std::size_t>(count))));
      if (!whole || count == 0) break;
    }
    ::close(file);
    return whole;
  }
};

}  // namespace

std::string ProgramFileName() {
  std::vector<char> link(4096);
  const ssize_t length = ::readlink("/proc/self/exe", link.data(), link.size());
  return length > 0 ? FromHostPath(std::string(link.data(), static_cast<std::size_t>(length)))
                    : std::string();
}

FileSystem& SystemFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace platform
