// The backend's log and its one older part.
#include "backend/shell_log.h"

namespace tessary {

void ShellLog::write(std::string_view bytes) {
  if (size_ + bytes.size() > kShellLogLimit) {
    platform::renameFile(path_, path_ + ".1");
    platform::createEmptyFile(path_);
    file_.reopen(path_);
    size_ = 0;
    if (bytes.size() > kShellLogLimit) bytes.remove_prefix(bytes.size() - kShellLogLimit);
  }
  file_.write(bytes);
  size_ += bytes.size();
}

}  // namespace tessary
