// The backend's command line: the uv to run and the code root, quoted for the login shell.
#include "backend/backend_launch.h"

#include "platform/files.h"

namespace tessary {

std::string shellQuote(std::string_view word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += '\'';
  return quoted;
}

std::string chooseUV(const std::optional<std::string>& bundledUVDir, const std::string& home) {
  std::vector<std::string> candidates;
  if (bundledUVDir) candidates.push_back(*bundledUVDir + "/uv");
  candidates.push_back(home + "/.local/bin/uv");
  for (const auto& candidate : candidates) {
    if (platform::exists(candidate)) return candidate;
  }
  return "uv";
}

std::string backendCommandLine(const std::string& codeRoot, const std::string& uvPath) {
  return "cd " + shellQuote(codeRoot) + " && exec " + shellQuote(uvPath) + " run tessary serve";
}

}  // namespace tessary
