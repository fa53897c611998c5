// The approot file: one line naming the installed code root.
#include "backend/ready_root.h"

#include "base/text.h"
#include "platform/files.h"

namespace tessary {

std::optional<std::string> readCodeRoot(const std::string& approotFile) {
  auto text = platform::readUtf8File(approotFile);
  // A path cannot hold a NUL byte: the shell would be handed the text before it.
  if (!text || text->find('\0') != std::string::npos) return std::nullopt;
  return trimWhiteSpace(*text);
}

std::optional<std::string> readyRoot(const std::string& approotFile) {
  auto root = readCodeRoot(approotFile);
  if (!root || root->empty()) return std::nullopt;
  // Plain concatenation: a root written with a trailing "/" still names the same entry.
  if (!platform::exists(*root + "/.venv/bin/tessary")) return std::nullopt;
  return root;
}

}  // namespace tessary
