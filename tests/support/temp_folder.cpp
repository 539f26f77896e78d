#include "support/temp_folder.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#endif

namespace testing_support {
namespace {

// Natively the Windows-style test paths are host paths with backslashes.
std::filesystem::path HostPath(const std::string& path) {
#ifdef _WIN32
  return std::filesystem::path(path);
#else
  std::string host = path;
  for (char& c : host) {
    if (c == '\\') c = '/';
  }
  return std::filesystem::path(host);
#endif
}

std::string WindowsPath(const std::filesystem::path& path) {
  std::string text = path.string();
#ifndef _WIN32
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
#endif
  return text;
}

}  // namespace

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  std::random_device seed;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate =
        base / ("tavrel-test-" + std::to_string(seed()) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(candidate)) {
      path_ = WindowsPath(candidate);
      if (!path_.empty() && (path_.back() == '\\' || path_.back() == '/')) path_.pop_back();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(HostPath(path_), ignored);
}

std::string TempFolder::Child(const std::string& relative) const { return path_ + "\\" + relative; }

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(HostPath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(HostPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool MakeFolder(const std::string& path) {
  return std::filesystem::create_directory(HostPath(path));
}

void RemoveFile(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(HostPath(path), ignored);
}

std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> files;
  const std::filesystem::path root = HostPath(folder);
  for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
    if (item.is_regular_file()) {
      files.push_back(WindowsPath(std::filesystem::relative(item.path(), root)));
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace testing_support
