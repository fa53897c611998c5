// Shell quoting and script string literals, checked against the real peers: bash and a
// JavaScript engine (Node.js).
#include <gtest/gtest.h>

#include <filesystem>

#include "backend/backend_launch.h"
#include "setup/js_string.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace tessary {
namespace {

const std::vector<std::string>& nastyStrings() {
  static const std::vector<std::string> corpus = {"",           "abc",
                                                  "it's",       "'",
                                                  "''",         "\"",
                                                  "a b  c",     "$(touch /tmp/x)",
                                                  "`id`",       "${HOME}",
                                                  "$HOME",      "\\",
                                                  "\\'",        "line\nbreak",
                                                  "tab\there",  "*?[a]",
                                                  "~",          "-n",
                                                  "!!",         ";&|<>",
                                                  "ł ą ę 😀",    "/Users/someone/o'clock/app",
                                                  "trailing\\", "\r\n",
                                                  "#comment",   "%s%n"};
  return corpus;
}

TEST(ShellQuote, QuotesEveryWordTheSameWay) {
  EXPECT_EQ(shellQuote("abc"), "'abc'");
  EXPECT_EQ(shellQuote("it's"), "'it'\\''s'");
  EXPECT_EQ(shellQuote(""), "''");
}

TEST(ShellQuote, BashReadsBackExactlyTheWordGiven) {
  for (const auto& word : nastyStrings()) {
    auto result = testing::runCommand({"bash", "-c", "printf %s " + shellQuote(word)});
    EXPECT_EQ(result.status, 0) << word;
    EXPECT_EQ(result.output, word);
  }
}

TEST(ShellQuote, AHostileCodeRootExecutesNothing) {
  testing::TempDir dir;
  const std::string pwned = dir / "pwned";
  const std::string root = dir / "x'; touch " + pwned + "; '";
  std::filesystem::create_directories(root);
  auto result = testing::runCommand({"bash", "-c", backendCommandLine(root, "/bin/pwd") + "; pwd"});
  EXPECT_FALSE(std::filesystem::exists(pwned));
  EXPECT_EQ(result.output, root + "\n") << "cd reached the quoted folder";
}

TEST(BackendCommandLine, IsTheCdAndExecOfUvRun) {
  EXPECT_EQ(backendCommandLine("/Users/someone/app", "/Users/someone/.local/bin/uv"),
            "cd '/Users/someone/app' && exec '/Users/someone/.local/bin/uv' run tessary serve");
  EXPECT_EQ(backendCommandLine("/r", "uv"), "cd '/r' && exec 'uv' run tessary serve");
}

TEST(JsString, EscapesExactlyTheCharactersItMust) {
  EXPECT_EQ(jsString(""), "\"\"");
  EXPECT_EQ(jsString("abc"), "\"abc\"");
  EXPECT_EQ(jsString("/Users/a/setup.log"), "\"\\/Users\\/a\\/setup.log\"");
  EXPECT_EQ(jsString("ł"), "\"ł\"");
  EXPECT_EQ(jsString("\"\\/"), "\"\\\"\\\\\\/\"");
  EXPECT_EQ(jsString("a\r"), "\"a\\r\"");
  EXPECT_EQ(jsString(std::string("\0\x1f\x7f", 3)), "\"\\u0000\\u001f\x7f\"");
  EXPECT_EQ(jsString("\xE2\x80\xA8"), "\"\xE2\x80\xA8\"");
  EXPECT_EQ(jsString("\xFF"), "\"\"") << "not UTF-8: the empty literal";
}

TEST(JsString, NodeParsesEveryLiteralBackToItsText) {
  std::vector<std::string> corpus = nastyStrings();
  std::string controls;
  for (int c = 0; c < 0x20; ++c) controls += static_cast<char>(c);
  corpus.push_back(controls);
  corpus.push_back("\xE2\x80\xA8 and \xE2\x80\xA9");
  corpus.push_back("</script><script>alert(1)</script>");
  corpus.push_back("\xF0\x9D\x84\x9E \xF0\x9F\x8E\x89 zażółć");
  // Each literal on a line of its own; node prints each parsed text back as hex.
  std::string input;
  for (const auto& text : corpus) input += jsString(text) + "\n";
  const char* script =
      "const lines = require('fs').readFileSync(0, 'utf8').split('\\n').slice(0, -1);"
      "for (const l of lines) { const a = JSON.parse(l); const b = eval(l);"
      "  if (a !== b) throw new Error('eval differs');"
      "  console.log(Buffer.from(a, 'utf8').toString('hex')); }";
  auto result = testing::runCommand({"node", "-e", script}, input);
  ASSERT_EQ(result.status, 0);
  std::string expected;
  static constexpr char kHex[] = "0123456789abcdef";
  for (const auto& text : corpus) {
    for (unsigned char c : text) expected += {kHex[c >> 4], kHex[c & 15]};
    expected += "\n";
  }
  EXPECT_EQ(result.output, expected);
}

}  // namespace
}  // namespace tessary
