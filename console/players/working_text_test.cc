#include "console/players/working_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace helmsman::players {
namespace {

std::vector<std::string> LinesOf(const WorkingText& text) {
  std::vector<std::string> lines;
  for (int i = 1; i < text.end_line(); ++i) lines.emplace_back(text.line(i));
  return lines;
}

TEST(WorkingTextTest, LineBreaksAndEmptyLines) {
  struct Row {
    const char* text;
    std::vector<std::string> lines;
  };
  const Row rows[] = {
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\r\n\r\n\nb\r\n", {"a", "b"}},
      // A decoded text with CR-only line ends (an editor re-saved it) reads as the same lines.
      {"a\rb\r", {"a", "b"}},
      {"a\rb\r\n", {"a", "b"}},
      {"a\r\r\n\rb\n\rc\r", {"a", "b", "c"}},
      {"a\rrest", {"a"}},
      {"a\r\nrest", {"a"}},  // text after the last line break is dropped
      {"no break", {}},
      {"", {}},
  };
  for (const Row& row : rows) {
    WorkingText text;
    ASSERT_TRUE(text.Load(row.text));
    EXPECT_EQ(LinesOf(text), row.lines) << row.text;
    EXPECT_EQ(text.line(0), "");
    EXPECT_EQ(text.line(text.end_line()), kEndMarker);
  }
}

TEST(WorkingTextTest, HoldsAtMost19999Lines) {
  std::string text;
  for (int i = 0; i < kMaxFileLines; ++i) text += "k = v\r\n";
  WorkingText full;
  ASSERT_TRUE(full.Load(text));
  EXPECT_EQ(full.end_line(), 20000);
  // Empty lines do not count.
  WorkingText with_blanks;
  EXPECT_TRUE(with_blanks.Load(text + "\r\n\r\n"));

  WorkingText over;
  EXPECT_FALSE(over.Load(text + "k = v\r\n"));
  EXPECT_EQ(over.end_line(), 0);
}

TEST(WorkingTextTest, FindStartsWhereToldAndStopsAtTheMarker) {
  WorkingText text;
  ASSERT_TRUE(text.Load("base = a\r\nxpos = b\r\npos = c\r\nbase = d\r\n"));
  EXPECT_EQ(text.Find(0, "base = "), 1);
  EXPECT_EQ(text.Find(2, "base = "), 4);
  EXPECT_EQ(text.Find(2, "base = ", "pos = "), 3);
  EXPECT_EQ(text.Find(0, "Base = "), -1);  // keys are case-sensitive
  EXPECT_EQ(text.Find(0, kEndMarker), -1);
}

TEST(WorkingTextTest, RewrittenTextLeavesOutEmptiedLines) {
  WorkingText text;
  ASSERT_TRUE(text.Load("a = 1\nb = 2\nc = 3\n"));
  text.Replace(1, "a = 9");
  text.Replace(2, "");
  text.Replace(0, "never");  // line 0 and the marker are not lines of the file
  text.Replace(4, "never");
  EXPECT_EQ(text.RewrittenText(), "a = 9\r\nc = 3\r\n");
}

TEST(WorkingTextTest, ValuesAndNumbers) {
  EXPECT_EQ(ValueOf("money = 250"), "250");
  EXPECT_EQ(ValueOf("name = a=b"), "a=b");
  EXPECT_EQ(ValueOf("name ="), "");
  EXPECT_EQ(ValueOf("no equals"), "");

  const std::pair<const char*, double> numbers[] = {
      {"250abc", 250}, {"abc", 0},  {"  12", 12}, {"-3", -3},  {"12.5x", 12.5},
      {"1e3", 1000},   {"12e", 12}, {"", 0},      {".5", 0.5}, {"3725", 3725},
  };
  for (const auto& [text, value] : numbers) EXPECT_EQ(ReadNumber(text), value) << text;

  EXPECT_EQ(NumberText(7), "7");
  EXPECT_EQ(NumberText(-3), "-3");
  EXPECT_EQ(NumberText(12.5), "12.5");
  EXPECT_EQ(NumberText(-0.0), "0");
  EXPECT_EQ(NumberText(4294967296.0), "4294967296");

  EXPECT_EQ(HexErrorNumber(263), "107");
  EXPECT_EQ(HexErrorNumber(256), "100");
  EXPECT_EQ(HexErrorNumber(-1), "FFFFFFFF");
}

}  // namespace
}  // namespace helmsman::players
