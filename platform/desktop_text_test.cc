#include <gtest/gtest.h>

#include "platform/desktop.h"

namespace helmsman::platform {
namespace {

TEST(DesktopTextTest, CodePageBytesWidenToTheirCharacters) {
  struct Case {
    std::string bytes;
    std::u16string wide;
  };
  for (const Case& c :
       {Case{"Bob", u"Bob"}, Case{"\x80", u"\u20AC"}, Case{"\x8A\x9F", u"\u0160\u0178"},
        Case{"\xE9\xFF", u"\u00E9\u00FF"}, Case{"\x81", u"\u0081"},
        Case{std::string("a\0b", 3), std::u16string(u"a\0b", 3)}}) {
    EXPECT_EQ(WideFromCodePage(c.bytes), c.wide);
    EXPECT_EQ(CodePageFromWide(c.wide), c.bytes);
  }
  EXPECT_EQ(CodePageFromWide(u"\u4E2D\u0080x"), "??x");  // not in the code page
}

TEST(DesktopTextTest, LowerCaseCoversTheCodePagesCapitals) {
  EXPECT_EQ(LowerCodePage("BoB \xC0\xD7\xDE\x8A\x8C\x8E\x9F"), "bob \xE0\xD7\xFE\x9A\x9C\x9E\xFF");
  EXPECT_EQ(LowerWide(u"JIM\u00C9\u0178\u4E2D?"), u"jim\u00E9\u00FF\u4E2D?");
  EXPECT_TRUE(EqualsIgnoreCaseCodePage("Edit Account", "edit account"));
  EXPECT_FALSE(EqualsIgnoreCaseCodePage("edit account", "edit accounts"));
  EXPECT_TRUE(EqualsIgnoreCaseWide(u"\u00C9mile", u"\u00E9MILE"));
}

}  // namespace
}  // namespace helmsman::platform
