// The script string literal of a text, for statements run in the setup page.
#pragma once

#include <string>
#include <string_view>

namespace tessary {

// The JSON string literal of text, double quotes included: the quotation mark, the reverse
// solidus and the solidus escaped, control characters as JSON escapes, everything else
// unchanged. Text that is not valid UTF-8 gives the empty literal.
std::string jsString(std::string_view text);
// The same, added to the end of out.
void appendJsString(std::string& out, std::string_view text);

}  // namespace tessary
