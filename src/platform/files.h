// File-system operations of the logic, on the real file system (tests use temporary folders).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/handle.h"

namespace tessary::platform {

// A text file of the program's is one line; anything larger is not one of them.
inline constexpr size_t kMaxTextFile = 1 << 20;

// The whole file, when it is a regular file of at most limit bytes and valid UTF-8.
std::optional<std::string> readUtf8File(const std::string& path, size_t limit = kMaxTextFile);
// An entry of any kind, following links (a dangling link is absent).
bool exists(const std::string& path);
bool isDirectory(const std::string& path);
// Whether both paths name the same existing entry, following links.
bool sameEntry(const std::string& a, const std::string& b);
// Creates the folder and its parents; failures are left to the caller's later steps.
void createDirectories(const std::string& path);
// Leaves an empty file at path: a new one, or the existing one emptied.
void createEmptyFile(const std::string& path);
void setMode(const std::string& path, unsigned mode);
// Writes content to path+".new" and renames it over path (over whatever is there, a folder
// included), so that a reader finds the old content or the new, never a part; both are on
// disk when it returns. Nothing when it could, else the system's words for why not.
std::optional<std::string> replaceFile(const std::string& path, std::string_view content);
void renameFile(const std::string& from, const std::string& to);
void removeFile(const std::string& path);
// Removes whatever is at path, a folder with everything in it included; a link is removed,
// never followed.
void removeEntry(const std::string& path);
// The relative paths of every entry below root that is not a folder (links not followed),
// sorted; nothing when the tree cannot be read in full.
std::optional<std::vector<std::string>> listFiles(const std::string& root);
// Removes the file or link at root/relative, then the folders that leaves empty, never
// anything outside root: a relative path that is absolute, holds "." or ".." as a name, a byte
// no file name can hold (NUL), or leads through a link below root removes nothing. Root itself
// may be a link.
void removeInside(const std::string& root, std::string_view relative);

struct CopyFailure {
  std::string path;    // the entry that could not be written
  std::string reason;  // the system's words for why
};
// Merges the contents of from into to: creates to when missing, replaces same-named entries
// (links and read-only files included, never writing through a link), keeps permission bits,
// leaves other files of to in place, and carries on past an entry it cannot copy. Everything
// it wrote is on disk when it returns. The entries it could not copy, none when all went well.
std::vector<CopyFailure> copyTree(const std::string& from, const std::string& to);

// An exclusive lock on a folder, across processes and sessions, for one run of something
// that must never run twice at once: tried, never waited for. A kept process given it (see
// SpawnOptions::lock) holds it too, until it has recorded its end.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder);
  bool taken() const { return static_cast<bool>(fd_); }
  // Another process holds it.
  bool held() const { return held_; }
  int descriptor() const { return fd_.get(); }

 private:
  Fd fd_;
  bool held_ = false;
};

// Which file is at path (its device and inode), to tell it from one that replaced it.
std::optional<std::string> fileIdentity(const std::string& path);

// A file appended to, whose room on disk for room more bytes is taken when it is opened, so
// that that much can still be written once the disk has filled meanwhile.
class ReservedFile {
 public:
  ReservedFile(const std::string& path, size_t room);
  void write(std::string_view bytes);

 private:
  Fd fd_;
};

// A file held open for reading: followed through a rename or removal of its name, as a
// process that writes into it is.
class FollowedFile {
 public:
  FollowedFile() = default;
  explicit FollowedFile(const std::string& path);
  // Up to size bytes from offset; fewer at its end, none when it cannot be read.
  std::string read(uint64_t offset, size_t size) const;
  // 0 when there is no file.
  uint64_t size() const;

 private:
  Fd fd_;
};

// A file opened for appending; closed when destroyed.
class AppendFile {
 public:
  explicit AppendFile(const std::string& path);
  bool isOpen() const { return static_cast<bool>(fd_); }
  uint64_t size() const;
  void write(std::string_view bytes);
  // The same file name again, for a file that replaced the one open.
  void reopen(const std::string& path);
  void close();

 private:
  Fd fd_;
};

}  // namespace tessary::platform
