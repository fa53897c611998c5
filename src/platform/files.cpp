// File-system operations on POSIX and std::filesystem.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "base/text.h"
#include "platform/fd.h"

namespace tessary::platform {

namespace fs = std::filesystem;

// A text file of the program's is one line; anything this large is not one of them.
constexpr size_t kMaxTextFile = 1 << 20;

std::optional<std::string> readUtf8File(const std::string& path) {
  // Non-blocking, so that a FIFO cannot stall the caller; only a regular file is text.
  const Fd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  const int fd = file.get();
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<size_t>(st.st_size) > kMaxTextFile)
    return std::nullopt;
  std::string content;
  char buffer[65536];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || content.size() + static_cast<size_t>(n) > kMaxTextFile) return std::nullopt;
    content.append(buffer, static_cast<size_t>(n));
  }
  if (!isValidUtf8(content)) return std::nullopt;
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

namespace {

// Makes `to` a copy of the entry `from`, replacing whatever `to` is unless both are folders.
// A link at `to` is replaced, never written through.
bool copyEntry(const fs::path& from, const fs::path& to) {
  std::error_code error;
  const auto kind = fs::symlink_status(from, error).type();
  const auto existing = fs::symlink_status(to, error).type();
  if (existing != fs::file_type::not_found &&
      !(kind == fs::file_type::directory && existing == fs::file_type::directory)) {
    // A folder in the way of a file is not ours to empty: that entry fails alone.
    if (!fs::remove(to, error)) return false;
  }
  if (kind == fs::file_type::symlink) {
    fs::copy_symlink(from, to, error);
  } else if (kind == fs::file_type::regular) {
    fs::copy_file(from, to, error);  // carries the permission bits over
  } else if (kind == fs::file_type::directory) {
    if (existing != fs::file_type::directory) fs::create_directory(to, from, error);
    bool complete = !error;
    for (fs::directory_iterator it(from, error), end; !error && it != end; it.increment(error))
      complete = copyEntry(it->path(), to / it->path().filename()) && complete;
    return complete && !error;
  } else {
    return false;
  }
  return !error;
}

}  // namespace

bool copyTree(const std::string& from, const std::string& to) {
  std::error_code error;
  fs::create_directories(to, error);
  if (!fs::is_directory(from, error)) return false;
  bool complete = true;
  for (fs::directory_iterator it(from, error), end; !error && it != end; it.increment(error))
    complete = copyEntry(it->path(), fs::path(to) / it->path().filename()) && complete;
  return complete && !error;
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
