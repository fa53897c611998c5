// Cutting wizard output into lines across chunk boundaries.
#include <gtest/gtest.h>

#include "setup/line_splitter.h"

namespace tessary {
namespace {

std::vector<std::string> split(const std::vector<std::string>& chunks,
                               std::string* rest = nullptr) {
  LineSplitter splitter;
  std::vector<std::string> lines;
  for (const auto& chunk : chunks)
    splitter.feed(chunk, [&](std::string_view line) { lines.emplace_back(line); });
  if (rest) *rest = splitter.pending();
  return lines;
}

using Lines = std::vector<std::string>;

TEST(LineSplitter, CutsAtLineFeedsAcrossChunks) {
  std::string rest;
  EXPECT_EQ(split({"a\nb\nc"}, &rest), (Lines{"a", "b"}));
  EXPECT_EQ(rest, "c");
  EXPECT_EQ(split({"a\nb\nc", "d\n"}), (Lines{"a", "b", "cd"}));
  EXPECT_EQ(split({"he", "ll", "o\n", "\n"}), (Lines{"hello", ""}));
}

TEST(LineSplitter, ALoneLineFeedIsAnEmptyLine) {
  EXPECT_EQ(split({"\n"}), (Lines{""}));
}

TEST(LineSplitter, KeepsCarriageReturns) {
  EXPECT_EQ(split({"a\r\n", "b\r", "\n"}), (Lines{"a\r", "b\r"}));
}

TEST(LineSplitter, ReassemblesAMultiByteCharacterSplitAcrossChunks) {
  EXPECT_EQ(split({"za\xC5", "\x82\xC3", "\xB3w\n"}), (Lines{"załów"}));
}

TEST(LineSplitter, KeepsTheTrailingFragmentAndNothingForEmptyOutput) {
  std::string rest;
  EXPECT_EQ(split({"done"}, &rest), Lines{});
  EXPECT_EQ(rest, "done");
  EXPECT_EQ(split({}, &rest), Lines{});
  EXPECT_EQ(rest, "");
  EXPECT_EQ(split({""}), Lines{});
}

TEST(LineSplitter, PassesInvalidBytesThroughUntouched) {
  EXPECT_EQ(split({"ok\n\xFF\xFE\nok2\n"}), (Lines{"ok", "\xFF\xFE", "ok2"}));
}

}  // namespace
}  // namespace tessary
