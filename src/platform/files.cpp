// File-system operations on POSIX and std::filesystem.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "application/text.h"

namespace tessary::platform {

namespace fs = std::filesystem;

std::optional<std::string> readUtf8File(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad() || !isValidUtf8(content)) return std::nullopt;
  return content;
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void createDirectories(const std::string& path) {
  std::error_code error;
  fs::create_directories(path, error);
}

void createEmptyFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd >= 0) ::close(fd);
}

void setMode(const std::string& path, unsigned mode) {
  ::chmod(path.c_str(), mode);
}

bool copyTree(const std::string& from, const std::string& to) {
  std::error_code error;
  fs::create_directories(to, error);
  // copy_file carries the permission bits over, also onto a file it replaces.
  fs::copy(from, to,
           fs::copy_options::recursive | fs::copy_options::overwrite_existing |
               fs::copy_options::copy_symlinks,
           error);
  return !error;
}

AppendFile::AppendFile(const std::string& path)
    : fd_(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC)) {}

AppendFile::~AppendFile() {
  close();
}

void AppendFile::write(std::string_view bytes) {
  while (fd_ >= 0 && !bytes.empty()) {
    ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void AppendFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace tessary::platform
