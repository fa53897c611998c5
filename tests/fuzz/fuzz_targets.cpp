// libFuzzer targets, one per rule, chosen by FUZZ_<rule> at compile time. Each checks its
// rule against an independent reading of the same input.
#include <wordexp.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "backend/backend_launch.h"
#include "base/text.h"
#include "platform/webkit/address.h"
#include "setup/js_string.h"
#include "ui/navigation_policy.h"

#ifdef FUZZ_js_string
#include <nlohmann/json.hpp>
#endif

#define CHECK(condition) \
  if (!(condition)) std::abort()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessary;
  const std::string input(reinterpret_cast<const char*>(data), size);
#ifdef FUZZ_navigation  // navigation: allowed only for the four schemes or a loopback name
  const auto address = platform::addressOf(input);
  if (address.host) CHECK(input.find(*address.host) != std::string::npos);
  const std::string scheme = address.scheme.value_or(""), host = address.host.value_or("~");
  if (allowNavigation(address))
    CHECK(scheme == "about" || scheme == "blob" || scheme == "data" || scheme == "file" ||
          host == "127.0.0.1" || host == "localhost");
#elif defined(FUZZ_shell_quote)  // shellQuote: a POSIX word parser reads back exactly the input
  if (input.find('\0') != std::string::npos) return 0;
  wordexp_t words;
  CHECK(wordexp(shellQuote(input).c_str(), &words, WRDE_NOCMD | WRDE_UNDEF) == 0);
  // glibc splits an empty field off a leading '' (bash does not), so the words are joined:
  // a word split or an expansion still shows as text that differs from the input.
  std::string read;
  for (size_t i = 0; i < words.we_wordc; ++i) read += words.we_wordv[i];
  CHECK(read == input && words.we_wordc <= 2);
  wordfree(&words);
#elif defined(FUZZ_js_string)    // jsString: a JSON parser reads back exactly the input
  const std::string literal = jsString(input);
  CHECK(nlohmann::json::parse(literal).get<std::string>() == (isValidUtf8(input) ? input : ""));
#endif
  return 0;
}
