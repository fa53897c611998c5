// native-shell.log: the backend's output, kept under a bound so that a backend printing in a
// loop cannot fill the disk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace tessary {

inline constexpr uint64_t kShellLogLimit = 64 << 20;

// Appends to an existing log. Past the limit, the log so far becomes "<log>.1" (replacing an
// older one) and a new log begins, so the newest output is always in the log.
class ShellLog {
 public:
  explicit ShellLog(std::string path) : path_(std::move(path)), file_(path_), size_(file_.size()) {}
  bool isOpen() const { return file_.isOpen(); }
  void write(std::string_view bytes);

 private:
  std::string path_;
  platform::AppendFile file_;
  uint64_t size_;
};

}  // namespace tessary
