// JSON string literals without a JSON library.
#include "setup/js_string.h"

#include "base/text.h"

namespace tessary {

std::string jsString(std::string_view text) {
  std::string out;
  appendJsString(out, text);
  return out;
}

void appendJsString(std::string& out, std::string_view text) {
  if (!isValidUtf8(text)) {
    out += "\"\"";
    return;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '/':
        out += "\\/";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += "\\u00";
          out += kHex[(c >> 4) & 0xF];
          out += kHex[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

}  // namespace tessary
