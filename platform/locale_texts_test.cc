#include "platform/locale_texts.h"

#include <gtest/gtest.h>

namespace helmsman::platform {
namespace {

TEST(LocaleTextsTest, PicturesGiveTheRegionalForms) {
  CivilTime t{2005, 5, 5, 13, 19, 48, 4};
  CivilTime morning{2004, 9, 30, 1, 19, 48, 4};
  struct Row {
    const char* picture;
    CivilTime time;
    const char* text;
  } rows[] = {
      {"MM/dd/yyyy", t, "05/05/2005"},     {"M/d/yyyy", t, "5/5/2005"},
      {"dd.MM.yy", t, "05.05.05"},         {"h:mm:ss tt", t, "1:19:48 PM"},
      {"HH:mm:ss", t, "13:19:48"},         {"h:mm:ss tt", morning, "1:19:48 AM"},
      {"hh:mm t", morning, "01:19 A"},     {"M/d/yyyy", morning, "9/30/2004"},
  };
  for (const Row& r : rows) EXPECT_EQ(FormatPicture(r.picture, r.time), r.text) << r.picture;
}

TEST(LocaleTextsTest, GeneralFormIsShortDateBlankLongTime) {
  PictureLocaleTexts texts("M/d/yyyy", "h:mm:ss tt");
  EXPECT_EQ(texts.GeneralDateTime(CivilTime{2004, 9, 30, 1, 19, 48, 4}), "9/30/2004 1:19:48 AM");
  EXPECT_EQ(texts.GeneralDateTime(CivilTime{2004, 9, 30, 0, 5, 0, 4}), "9/30/2004 12:05:00 AM");
}

TEST(LocaleTextsTest, SystemFormsCarryAFourDigitYear) {
  std::string date = SystemLocaleTexts().ShortDate(CivilTime{2005, 5, 6, 13, 19, 48, 5});
  EXPECT_NE(date.find("2005"), std::string::npos) << date;
}

}  // namespace
}  // namespace helmsman::platform
