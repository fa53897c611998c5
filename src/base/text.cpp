// UTF-8 validation and the trimming rule of the approot file.
#include "base/text.h"

namespace tessary {

namespace {

// Decodes one code point at text[i]; the text is known to be valid UTF-8.
char32_t decodeAt(std::string_view text, size_t i, size_t& length) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
  unsigned char lead = byte(0);
  if (lead < 0x80) {
    length = 1;
    return lead;
  }
  if (lead < 0xE0) {
    length = 2;
    return ((lead & 0x1F) << 6) | (byte(1) & 0x3F);
  }
  if (lead < 0xF0) {
    length = 3;
    return ((lead & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
  }
  length = 4;
  return ((lead & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
         (byte(3) & 0x3F);
}

// The length of the valid UTF-8 sequence at the start of bytes, or 0 when there is none; then
// prefix is the length of its longest start that a valid sequence could have. Strict: no
// overlong forms, no surrogates, nothing above U+10FFFF.
size_t sequenceAt(std::string_view bytes, size_t& prefix) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = byte(0);
  prefix = 1;
  if (lead < 0x80) return 1;
  size_t extra;
  unsigned char low = 0x80, high = 0xBF;  // of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    low = lead == 0xE0 ? 0xA0 : low;
    high = lead == 0xED ? 0x9F : high;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    low = lead == 0xF0 ? 0x90 : low;
    high = lead == 0xF4 ? 0x8F : high;
  } else {
    return 0;
  }
  for (size_t k = 1; k <= extra; ++k, low = 0x80, high = 0xBF) {
    if (k >= bytes.size() || byte(k) < low || byte(k) > high) return 0;
    prefix = k + 1;
  }
  return extra + 1;
}

bool isTrimmed(char32_t c) {
  switch (c) {
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x85:
    // Unicode general category Z: Zs, Zl, Zp.
    case 0x20:
    case 0xA0:
    case 0x1680:
    case 0x202F:
    case 0x205F:
    case 0x3000:
    case 0x2028:
    case 0x2029:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
  size_t prefix;
  for (size_t i = 0, n; i < bytes.size(); i += n)
    if ((n = sequenceAt(bytes.substr(i), prefix)) == 0) return false;
  return true;
}

std::string validUtf8(std::string_view bytes) {
  std::string text;
  size_t prefix;
  for (size_t i = 0, n; i < bytes.size(); i += n) {
    n = sequenceAt(bytes.substr(i), prefix);
    text += n ? bytes.substr(i, n) : "\xEF\xBF\xBD";  // U+FFFD
    n = n ? n : prefix;
  }
  return text;
}

std::string trimWhiteSpace(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size()) {
    size_t length;
    if (!isTrimmed(decodeAt(text, begin, length))) break;
    begin += length;
  }
  size_t end = text.size();
  while (end > begin) {
    size_t start = end - 1;
    while (start > begin && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    size_t length;
    if (!isTrimmed(decodeAt(text, start, length))) break;
    end = start;
  }
  return std::string(text.substr(begin, end - begin));
}

}  // namespace tessary
