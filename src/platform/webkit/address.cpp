// Reading scheme and host out of an address the web engine has normalised.
#include "platform/webkit/address.h"

namespace tessary::platform {

Address addressOf(std::string_view uri) {
  Address address{std::string(uri), std::nullopt, std::nullopt};
  const size_t colon = uri.find(':');
  // A scheme is a letter followed by letters, digits, "+", "-" or ".".
  auto schemeChar = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
  };
  if (colon == std::string_view::npos || colon == 0 || (uri[0] >= '0' && uri[0] <= '9')) {
    return address;
  }
  for (size_t i = 0; i < colon; ++i)
    if (!schemeChar(uri[i])) return address;
  address.scheme = std::string(uri.substr(0, colon));
  std::string_view rest = uri.substr(colon + 1);
  if (rest.substr(0, 2) != "//") return address;
  std::string_view authority = rest.substr(2, rest.find_first_of("/?#", 2) - 2);
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos)
    authority.remove_prefix(at + 1);
  size_t end = authority.find(':');
  if (!authority.empty() && authority[0] == '[') {
    const size_t close = authority.find(']');
    end = close == std::string_view::npos ? authority.size() : close + 1;
  }
  address.host = std::string(authority.substr(0, end));
  return address;
}

}  // namespace tessary::platform
