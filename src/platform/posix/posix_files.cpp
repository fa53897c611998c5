// File-system operations on POSIX and std::filesystem.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/handle.h"
#include "base/text.h"
#include "platform/linux/kernel.h"

namespace tessary::platform {

namespace fs = std::filesystem;

std::optional<std::string> readUtf8File(const std::string& path, size_t limit) {
  // Non-blocking, so that a FIFO cannot stall the caller; only a regular file is text.
  const Fd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  const int fd = file.get();
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<uint64_t>(st.st_size) > limit)
    return std::nullopt;
  std::string content;
  char buffer[65536];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || content.size() + static_cast<size_t>(n) > limit) return std::nullopt;
    content.append(buffer, static_cast<size_t>(n));
  }
  if (!isValidUtf8(content)) return std::nullopt;
  return content;
}

FollowedFile::FollowedFile(const std::string& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}

std::string FollowedFile::read(uint64_t offset, size_t size) const {
  std::string bytes(size, '\0');
  ssize_t n;
  while ((n = ::pread(fd_.get(), bytes.data(), size, static_cast<off_t>(offset))) < 0 &&
         errno == EINTR) {
  }
  bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return bytes;
}

uint64_t FollowedFile::size() const {
  struct stat st;
  return fd_ && ::fstat(fd_.get(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
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

namespace {

bool writeAll(int fd, std::string_view bytes) {
  while (fd >= 0 && !bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return fd >= 0;
}

// A rename is on disk once the folder that holds the name is.
bool syncFolderOf(const std::string& path) {
  const Fd folder(::open(fs::path(path).parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return folder && ::fsync(folder.get()) == 0;
}

}  // namespace

void createEmptyFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd >= 0) ::close(fd);
}

bool sameEntry(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

void setMode(const std::string& path, unsigned mode) {
  ::chmod(path.c_str(), mode);
}

namespace {

// A fresh file at path+".new", never a link left there written through.
Fd createTemporary(const std::string& path) {
  const std::string temporary = path + ".new";
  removeEntry(temporary);
  return Fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
}

// The file written at path+".new" takes path's place, unless error (an errno) says the writing
// failed; nothing when it did.
std::optional<std::string> moveTemporaryIn(const std::string& path, Fd file, int error) {
  const std::string temporary = path + ".new";
  if (!error && ::fsync(file.get()) != 0) error = errno;
  file.reset();
  // A folder in the way would refuse the rename for good.
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) removeEntry(path);
  if (!error && (::rename(temporary.c_str(), path.c_str()) != 0 || !syncFolderOf(path)))
    error = errno;
  if (!error) return std::nullopt;
  ::unlink(temporary.c_str());
  return std::strerror(error);
}

}  // namespace

std::optional<std::string> replaceFile(const std::string& path, std::string_view content) {
  Fd file = createTemporary(path);
  if (!file) return std::strerror(errno);
  const int error = writeAll(file.get(), content) ? 0 : errno;
  return moveTemporaryIn(path, std::move(file), error);
}

ReservedFile::ReservedFile(const std::string& path, size_t room)
    : fd_(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644)) {
  if (fd_) reserveRoom(fd_.get(), room);
}

void ReservedFile::write(std::string_view bytes) {
  writeAll(fd_.get(), bytes);
}

void renameFile(const std::string& from, const std::string& to) {
  ::rename(from.c_str(), to.c_str());
}

void removeFile(const std::string& path) {
  ::unlink(path.c_str());
}

void removeEntry(const std::string& path) {
  std::error_code error;
  fs::remove_all(path, error);
}

std::optional<std::vector<std::string>> listFiles(const std::string& root) {
  std::error_code error;
  std::vector<std::string> files;
  for (fs::recursive_directory_iterator it(root, error), end; it != end; it.increment(error)) {
    if (error) return std::nullopt;
    if (!it->is_directory(error) || it->is_symlink(error))
      files.push_back(it->path().lexically_relative(root).string());
  }
  if (error) return std::nullopt;
  std::sort(files.begin(), files.end());
  return files;
}

void removeInside(const std::string& root, std::string_view relative) {
  std::vector<std::string> names;
  for (size_t start = 0; start <= relative.size();) {
    const size_t end = std::min(relative.find('/', start), relative.size());
    names.emplace_back(relative.substr(start, end - start));
    // Whole names only: the kernel reads "..\0" as "..", so a name holding a NUL is refused.
    if (names.back().empty() || names.back() == "." || names.back() == ".." ||
        names.back().find('\0') != std::string::npos)
      return;
    start = end + 1;
  }
  // Each folder below root is opened without following a link, so nothing outside is reached.
  std::vector<Fd> folders;
  folders.emplace_back(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  for (size_t i = 0; i + 1 < names.size() && folders.back().get() >= 0; ++i) {
    folders.emplace_back(::openat(folders.back().get(), names[i].c_str(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  }
  if (folders.back().get() < 0 || ::unlinkat(folders.back().get(), names.back().c_str(), 0) != 0)
    return;
  for (size_t i = folders.size() - 1; i > 0; --i) {
    if (::unlinkat(folders[i - 1].get(), names[i - 1].c_str(), AT_REMOVEDIR) != 0) return;
  }
}

namespace {

class TreeCopy {
 public:
  std::vector<CopyFailure> failures;

  // Makes `to` a copy of the entry `from`, replacing whatever `to` is unless both are folders.
  // A link at `to` is replaced, never written through.
  void entry(const fs::path& from, const fs::path& to) {
    std::error_code error, ignored;
    const auto kind = fs::symlink_status(from, error).type();
    const auto existing = fs::symlink_status(to, error).type();
    if (existing != fs::file_type::not_found &&
        !(kind == fs::file_type::directory && existing == fs::file_type::directory)) {
      // A folder in the way of a file is not ours to empty: that entry fails alone.
      if (!fs::remove(to, error)) return fail(to, error);
    }
    if (kind == fs::file_type::symlink) {
      fs::copy_symlink(from, to, error);
    } else if (kind == fs::file_type::regular) {
      error = copyFile(from, to);
      // A file cut short (a full disk) is left as no file at all, and gives its room back.
      if (error) fs::remove(to, ignored);
    } else if (kind == fs::file_type::directory) {
      if (existing != fs::file_type::directory) fs::create_directory(to, from, error);
      if (error) return fail(to, error);
      folder(from, to);
      return;
    } else {
      error = std::make_error_code(std::errc::not_supported);
    }
    if (error) fail(to, error);
  }

  // The entries of from into the folder to.
  void folder(const fs::path& from, const fs::path& to) {
    std::error_code error;
    for (fs::directory_iterator it(from, error), end; !error && it != end; it.increment(error))
      entry(it->path(), to / it->path().filename());
    if (error) fail(from, error);
  }

  // Everything written, files and folders, onto the disk in one go: a file at a time would
  // take three times as long as the copy itself on a tree of some thousand files.
  void sync(const fs::path& root) {
    const Fd folder(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder || ::syncfs(folder.get()) != 0) fail(root, lastError());
  }

 private:
  // With its permission bits, and the system's own reason when it cannot (std::filesystem
  // reports a full disk as an input/output error).
  static std::error_code copyFile(const fs::path& from, const fs::path& to) {
    struct stat st;
    const Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in || ::fstat(in.get(), &st) != 0) return lastError();
    const Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        st.st_mode & 07777));
    if (!out) return lastError();
    char buffer[65536];
    for (ssize_t n; (n = ::read(in.get(), buffer, sizeof buffer)) != 0;) {
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 || !writeAll(out.get(), std::string_view(buffer, static_cast<size_t>(n))))
        return lastError();
    }
    // The mode the umask took away.
    if (::fchmod(out.get(), st.st_mode & 07777) != 0) return lastError();
    return {};
  }

  static std::error_code lastError() { return std::error_code(errno, std::generic_category()); }

  void fail(const fs::path& path, const std::error_code& error) {
    failures.push_back({path.string(), error.message()});
  }
};

}  // namespace

std::vector<CopyFailure> copyTree(const std::string& from, const std::string& to) {
  TreeCopy copy;
  std::error_code error;
  if (!fs::create_directories(to, error) && error) return {{to, error.message()}};
  if (!fs::is_directory(from, error)) return {{from, "not a folder"}};
  copy.folder(from, to);
  copy.sync(to);
  return copy.failures;
}

FolderLock::FolderLock(const std::string& folder) {
  Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
    fd_ = std::move(fd);
  } else {
    held_ = errno == EWOULDBLOCK;
  }
}

std::optional<std::string> fileIdentity(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

AppendFile::AppendFile(const std::string& path) {
  reopen(path);
}

uint64_t AppendFile::size() const {
  struct stat st;
  return fd_ && ::fstat(fd_.get(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

void AppendFile::write(std::string_view bytes) {
  writeAll(fd_.get(), bytes);
}

void AppendFile::reopen(const std::string& path) {
  fd_.reset(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
}

void AppendFile::close() {
  fd_.reset();
}

}  // namespace tessary::platform
