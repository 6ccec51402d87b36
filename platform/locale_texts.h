// The operating system's regional date and time texts. The logs stamp their lines with them
// and the regional checks compare the operator's choices against them, so tests set the
// forms ("05/05/2005", "5/5/2005", "1:19:48 AM", "13:19:48") through this one interface.
#ifndef HELMSMAN_PLATFORM_LOCALE_TEXTS_H_
#define HELMSMAN_PLATFORM_LOCALE_TEXTS_H_

#include <string>

#include "platform/clock.h"

namespace helmsman::platform {

class LocaleTexts {
 public:
  virtual ~LocaleTexts() = default;
  // The system's short date form, for example "9/30/2004".
  virtual std::string ShortDate(const CivilTime& t) = 0;
  // The system's long time form, for example "1:19:48 AM" or "13:19:48".
  virtual std::string LongTime(const CivilTime& t) = 0;
  // The general date-and-time form: short date, a blank, long time.
  std::string GeneralDateTime(const CivilTime& t) { return ShortDate(t) + " " + LongTime(t); }
};

// Forms given as Windows-style pictures: d dd M MM yy yyyy for dates, h hh H HH m mm s ss
// t tt for times (tt = "AM"/"PM", t = "A"/"P"); any other character is copied.
class PictureLocaleTexts : public LocaleTexts {
 public:
  PictureLocaleTexts(std::string date_picture, std::string time_picture)
      : date_picture_(std::move(date_picture)), time_picture_(std::move(time_picture)) {}
  std::string ShortDate(const CivilTime& t) override;
  std::string LongTime(const CivilTime& t) override;

 private:
  std::string date_picture_;
  std::string time_picture_;
};

// Formats a picture of PictureLocaleTexts.
std::string FormatPicture(const std::string& picture, const CivilTime& t);

// The process locale's forms (LC_TIME on POSIX, the user's regional settings on Windows).
LocaleTexts& SystemLocaleTexts();

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_LOCALE_TEXTS_H_
