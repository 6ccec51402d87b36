#include "console/settings/text_lines.h"

#include <gtest/gtest.h>

namespace helmsman::settings {
namespace {

using Lines = std::vector<std::string>;

TEST(TextLinesTest, LineEnds) {
  struct Row {
    std::string text;
    Lines lines;
  };
  const Row rows[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\n\r\n", {"a", ""}},
      {"\r\n", {""}},
      {"a\nb", {"a", "b"}},  // a lone LF ends a line too
      {"a\n\nb\r\n", {"a", "", "b"}},
      // A lone CR ends a line as well (a file re-saved by an editor that writes CR only).
      {"a\rb\r\n", {"a", "b"}},
      {"a\r", {"a"}},
      {"a\r\r\n", {"a", ""}},
      {"a\rb\rc", {"a", "b", "c"}},
      {"a\r\rb\n\r\nc\n\r", {"a", "", "b", "", "c", ""}},  // LF CR is two line ends
      {std::string("x\0y\n\xff\xfe", 6), {std::string("x\0y", 3), "\xff\xfe"}},
  };
  for (const Row& row : rows) EXPECT_EQ(SplitLines(row.text), row.lines) << row.text;
}

TEST(TextLinesTest, ReaderCountsLinesAndKnowsTheEnd) {
  LineReader reader("one\r\ntwo\r\n");
  std::string_view line;
  EXPECT_EQ(reader.line_number(), 0);
  ASSERT_TRUE(reader.Next(&line));
  EXPECT_EQ(line, "one");
  EXPECT_FALSE(reader.AtEnd());
  ASSERT_TRUE(reader.Next(&line));
  EXPECT_EQ(line, "two");
  EXPECT_EQ(reader.line_number(), 2);
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_FALSE(reader.Next(&line));
}

TEST(TextLinesTest, HugeLineIsOneLine) {
  std::string text(100 * 1024, 'x');
  text += "\r\nend";
  Lines lines = SplitLines(text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), 100u * 1024);
  EXPECT_EQ(lines[1], "end");
}

TEST(TextLinesTest, TrimTrailingBlanksRemovesSpacesOnly) {
  EXPECT_EQ(TrimTrailingBlanks("a b  "), "a b");
  EXPECT_EQ(TrimTrailingBlanks("   "), "");
  EXPECT_EQ(TrimTrailingBlanks(" a\t"), " a\t");
  EXPECT_EQ(TrimTrailingBlanks(""), "");
}

TEST(TextLinesTest, ReadingAMissingFileFails) {
  Lines lines = {"stale"};
  std::string error;
  EXPECT_FALSE(
      ReadTextLines(platform::DiskFileSystem(), "/nonexistent/helmsman/x.ini", &lines, &error));
  EXPECT_TRUE(lines.empty());
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace helmsman::settings
