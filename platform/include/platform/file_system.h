// Files and folders, named by Windows-style paths (backslash separators, GBK bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class CreateFolderResult { kCreated, kAlreadyExists, kFailed };

// Whether WriteWholeFile waits for the bytes to reach the disk before the rename. A file that
// is recorded as done must survive a power cut; one that is fetched afresh before every use
// need only be whole or absent, and spares the wait (tens of milliseconds for 64 MiB).
enum class Durability { kFlushedToDisk, kWholeOrAbsent };

// A file open for writing; closed when destroyed.
class FileWriter {
 public:
  virtual ~FileWriter() = default;
  // Writes all of `data` after what was written before; false when any of it failed.
  virtual bool Write(std::string_view data) = 0;
  // Returns once what was written is on the disk.
  virtual bool Flush() = 0;
  // Closes the file; false when closing failed. Nothing may be written after it.
  virtual bool Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // True when a file or folder of that name exists.
  virtual bool Exists(const std::string& path) = 0;
  // Creates one folder; parents are not created. kAlreadyExists also when a file has the name.
  virtual CreateFolderResult CreateFolder(const std::string& path) = 0;
  // Stores `data` as the file's whole content: written under a temporary name beside it and
  // renamed over it only once every byte is written and the file closed (and, when asked,
  // flushed to the disk). False, with the file as it was and no temporary left, when any step
  // fails.
  virtual bool WriteWholeFile(const std::string& path, std::string_view data,
                              Durability durability) = 0;
  // Adds `data` at the end of the file, creating it when missing. (Not supported: false.)
  virtual bool AppendToFile(const std::string& path, std::string_view data);
  // The size of a file; nullopt when it does not exist or cannot be read.
  virtual std::optional<uint64_t> FileSize(const std::string& path);
  // Opens a file for writing, created when missing: emptied, or (`atEnd`) kept and written
  // after its last byte. nullptr when it cannot be opened. (Not supported: nullptr.)
  virtual std::unique_ptr<FileWriter> OpenForWriting(const std::string& path, bool atEnd);
  // Deletes a file; false when it could not be deleted or did not exist. (Not supported: false.)
  virtual bool RemoveFile(const std::string& path);
  // Renames a file, replacing a file of the new name. (Not supported: false.)
  virtual bool RenameReplacing(const std::string& from, const std::string& to);
  // The platform's code for why the last call of the calling thread failed (Win32 error codes
  // on Windows, errno elsewhere); read it right after the call that failed. 0 when the
  // platform does not say.
  virtual uint32_t LastError();
  // Hands the file's bytes to `consume` in order, in pieces of at most kReadPieceSize bytes.
  // False when the file cannot be opened or read to its end, or `consume` answered false.
  virtual bool ReadFileInPieces(const std::string& path,
                                const std::function<bool(std::string_view)>& consume) = 0;
};

inline constexpr std::size_t kReadPieceSize = 1 << 16;

// The whole content of a file; nullopt when it cannot be read.
std::optional<std::string> ReadWholeFile(FileSystem& files, const std::string& path);

// The temporary name WriteWholeFile writes under: the name with ".partial" appended.
std::string PartialFileName(const std::string& path);

// The name Windows stores for `name`: the trailing dots and blanks it drops, dropped.
std::string_view TrimTrailingDotsAndBlanks(std::string_view name);

// True when a file name ends in ".partial" (any letter case), the temporary names of
// WriteWholeFile; the trailing dots and blanks that Windows drops from a name are dropped here
// too.
bool IsPartialFileName(std::string_view name);

FileSystem& SystemFileSystem();

}  // namespace platform
