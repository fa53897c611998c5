// File-system operations of the logic, on the real file system (tests use temporary folders).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/handle.h"

namespace tessary::platform {

// The whole file, when it can be read and is valid UTF-8.
std::optional<std::string> readUtf8File(const std::string& path);
// Up to size bytes of the file from offset; fewer at its end, none when it cannot be read.
std::string readFileRange(const std::string& path, uint64_t offset, size_t size);
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
// Writes content to path+".new" and renames it over path, so that a reader finds the old
// content or the new, never a part. False when it could not.
bool replaceFile(const std::string& path, std::string_view content);
void renameFile(const std::string& from, const std::string& to);
void removeFile(const std::string& path);
// The relative paths of every entry below root that is not a folder (links not followed),
// sorted; nothing when the tree cannot be read in full.
std::optional<std::vector<std::string>> listFiles(const std::string& root);
// Removes the file or link at root/relative, then the folders that leaves empty, never
// anything outside root: a relative path that is absolute, holds "." or "..", or leads
// through a link removes nothing.
void removeInside(const std::string& root, std::string_view relative);
// Merges the contents of from into to: creates to when missing, replaces same-named entries
// (links and read-only files included, never writing through a link), keeps permission bits,
// leaves other files of to in place, and carries on past an entry it cannot copy. True when
// every entry was copied.
bool copyTree(const std::string& from, const std::string& to);

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
