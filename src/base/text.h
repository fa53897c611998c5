// UTF-8 helpers at the bottom of the layers: the platform's files and the program's rules use them.
#pragma once

#include <string>
#include <string_view>

namespace tessary {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);
// The bytes as valid UTF-8: each invalid sequence (its longest start that could be valid, or
// one byte) replaced by U+FFFD.
std::string validUtf8(std::string_view bytes);

// Removes white space at both ends: Unicode category Z, tab, U+000A to U+000D and U+0085.
// The input must be valid UTF-8.
std::string trimWhiteSpace(std::string_view text);

}  // namespace tessary
