// Is there installed backend code that can be started, and where is its code root?
#pragma once

#include <optional>
#include <string>

namespace tessary {

// The code root named by the approot file, trimmed, when the file is readable UTF-8, the
// root is not empty and "<root>/.venv/bin/tessary" exists. Reads only; no effect.
std::optional<std::string> readyRoot(const std::string& approotFile);

// The trimmed approot text, or nothing when the file cannot be read as UTF-8 or holds a NUL.
std::optional<std::string> readCodeRoot(const std::string& approotFile);

}  // namespace tessary
