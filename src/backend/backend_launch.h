// Pieces of the backend start that are worth naming on their own.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

// POSIX single-quote quoting of one command-line word.
std::string shellQuote(std::string_view word);

// The first existing uv candidate, or the bare word "uv" for the login shell's search path.
std::string chooseUV(const std::optional<std::string>& bundledUVDir, const std::string& home);

std::string backendCommandLine(const std::string& codeRoot, const std::string& uvPath);

}  // namespace tessary
