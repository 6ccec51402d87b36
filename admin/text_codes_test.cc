#include "admin/text_codes.h"

#include <gtest/gtest.h>

#include <cstring>

#include "admin/reply_text.h"

namespace helmsman::admin {
namespace {

TEST(PlayerIdTest, SumsTheBytesAsSignedValuesWrappingIn32Bits) {
  EXPECT_EQ(PlayerId(""), 0u);
  EXPECT_EQ(PlayerId("0062006F0062"), 6u * '0' + 3 * '6' + 2 * '2' + 'F');
  EXPECT_EQ(PlayerId("\xFF"), 4294967295u);      // -1
  EXPECT_EQ(PlayerId("\x80\x80"), 4294967040u);  // -256
  EXPECT_EQ(PlayerId("a\xFF"), 96u);             // 97 - 1
}

TEST(ParseWrapping32Test, ReadsLikeTheCommandLanguage) {
  struct Case {
    const char* text;
    uint32_t value;
  };
  for (const Case& c : {Case{"42", 42}, Case{"  \t+42xyz", 42}, Case{"-1", 4294967295u},
                        Case{"4294967295", 4294967295u}, Case{"4294967296", 0},
                        Case{"4294967297", 1}, Case{"abc", 0}, Case{"", 0}, Case{"- 5", 0},
                        Case{"12 34", 12}, Case{"99999999999", 1215752191u}})
    EXPECT_EQ(ParseWrapping32(c.text), c.value) << c.text;
}

TEST(DecodeHexNameTest, KeepsTheLowPairOfEachGroupInLowerCase) {
  struct Case {
    std::string row;
    std::u16string name;
  };
  for (const Case& c : {
           Case{"0042006F0062", u"bob"},
           Case{"00200020004A0069006D", u"jim"},  // leading spaces skipped
           Case{"004A00200020", u"j  "},          // only leading ones
           Case{"0020002000200020", u""},
           Case{"0062006f0062", u"bob"},   // lower-case digits
           Case{"00C9006D", u"\u00E9m"},   // code page capital, lowered
           Case{"0042006F00620", u"bob"},  // a cut-off group is ignored
           // Other bytes count as their code minus "0": U+04EA and (wrapping) U+FEF1, which
           // the code page cannot show.
           Case{"00zz0041", u"?a"},
           Case{"00 !", u"?"},
       })
    EXPECT_EQ(DecodeHexName(c.row), c.name) << c.row;
  std::string long_row;
  for (int i = 0; i < 600; ++i) long_row += "0041";
  EXPECT_EQ(DecodeHexName(long_row), std::u16string(kMaxDecodedName, u'a'));
}

TEST(ReplyTextTest, PiecesThatDoNotFitAreDroppedWholeAndLaterOnesMayStillFit) {
  char buffer[10];
  std::memset(buffer, 0, sizeof buffer);
  ReplyText reply(buffer, sizeof buffer);
  EXPECT_TRUE(reply.Append("1234"));
  EXPECT_FALSE(reply.Append("567890"));  // 6 > 10 - 4 - 1
  EXPECT_TRUE(reply.Append("56789"));    // exactly fills the room
  EXPECT_FALSE(reply.Append("x"));
  EXPECT_TRUE(reply.Append(""));
  EXPECT_EQ(std::string(buffer), "123456789");
  EXPECT_EQ(reply.text(), "123456789");
}

TEST(ReplyTextTest, TinyAndAbsentBuffersAreNeverOverrun) {
  char one[2] = {'\0', '#'};
  ReplyText size_one(one, 1);
  EXPECT_FALSE(size_one.Append("a"));
  EXPECT_TRUE(size_one.Append(""));
  EXPECT_EQ(one[1], '#');
  char zero[1] = {'#'};
  ReplyText size_zero(zero, 0);
  EXPECT_FALSE(size_zero.Append(""));  // not even the NUL fits
  EXPECT_EQ(zero[0], '#');
  ReplyText absent(nullptr, 100);
  EXPECT_FALSE(absent.Append("a"));
  EXPECT_EQ(absent.text(), "");
}

}  // namespace
}  // namespace helmsman::admin
