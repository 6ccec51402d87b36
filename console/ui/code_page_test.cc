#include "console/ui/code_page.h"

#include <gtest/gtest.h>

namespace helmsman::ui {
namespace {

struct Pair {
  const char* windows1252;
  const char* utf8;
};

// Both directions: the euro sign and the last entry of the 0x80-0x9F block, the unassigned
// bytes, Latin-1 letters, the edges of the single-byte range.
const Pair kPairs[] = {
    {"\x80", "\u20AC"},
    {"\x9F", "\u0178"},
    {"\x81\x8D\x8F\x90\x9D", "\u0081\u008D\u008F\u0090\u009D"},
    {"\x93quoted\x94 \x85", "\u201Cquoted\u201D \u2026"},
    {"J\xF6rg \xC5se \xFF", "J\u00F6rg \u00C5se \u00FF"},
    {"\xA0\x7F", "\u00A0\u007F"},
    {"", ""},
    {"plain ASCII: Good to go", "plain ASCII: Good to go"},
};

TEST(CodePageTest, ConvertsBothWays) {
  for (const Pair& p : kPairs) {
    EXPECT_EQ(Windows1252ToUtf8(p.windows1252), p.utf8) << p.utf8;
    EXPECT_EQ(Utf8ToWindows1252(p.utf8), p.windows1252) << p.utf8;
  }
}

TEST(CodePageTest, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(all)), all);
}

TEST(CodePageTest, WhatTheCodePageLacksBecomesQuestionMarks) {
  const Pair kLossy[] = {
      {"?", "\u0416"},          // Cyrillic
      {"?", "\U0001F680"},      // beyond the Basic Multilingual Plane
      {"?", "\u0080"},          // its byte 0x80 is the euro sign
      {"a?-", "a\x80-"},        // stray continuation byte
      {"??", "\xC0\xAF"},       // overlong '/'
      {"???", "\xED\xA0\x80"},  // a surrogate
      {"x??", "x\xE2\x82"},     // truncated at the end
      {"?(", "\xE2("},          // lead byte without its continuation
      {"??", "\xFE\xFF"},
  };
  for (const Pair& p : kLossy) {
    EXPECT_EQ(Utf8ToWindows1252(p.utf8), p.windows1252) << p.windows1252;
  }
}

TEST(JsonTextTest, EscapesQuotesControlsAndConvertsTheCodePage) {
  EXPECT_EQ(JsonText("a\"b\\c\n\x01\x80"), "\"a\\\"b\\\\c\\n\\u0001\xe2\x82\xac\"");
}

}  // namespace
}  // namespace helmsman::ui
