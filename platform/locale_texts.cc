#include "platform/locale_texts.h"

#include <cstdio>

namespace helmsman::platform {

namespace {

std::string Number(int value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  return buffer;
}

size_t RunLength(const std::string& s, size_t at) {
  size_t n = 1;
  while (at + n < s.size() && s[at + n] == s[at]) ++n;
  return n;
}

std::string Field(char letter, size_t run, const CivilTime& t) {
  int width = run >= 2 ? 2 : 1;
  switch (letter) {
    case 'd': return Number(t.day, width);
    case 'M': return Number(t.month, width);
    case 'y': return run >= 3 ? Number(t.year, 4) : Number(t.year % 100, 2);
    case 'H': return Number(t.hour, width);
    case 'h': return Number(t.hour % 12 == 0 ? 12 : t.hour % 12, width);
    case 'm': return Number(t.minute, width);
    case 's': return Number(t.second, width);
    case 't': {
      std::string ampm = t.hour < 12 ? "AM" : "PM";
      return run >= 2 ? ampm : ampm.substr(0, 1);
    }
  }
  return std::string(run, letter);
}

}  // namespace

std::string FormatPicture(const std::string& picture, const CivilTime& t) {
  std::string out;
  for (size_t i = 0; i < picture.size();) {
    size_t run = RunLength(picture, i);
    char c = picture[i];
    if (c == 'd' || c == 'M' || c == 'y' || c == 'H' || c == 'h' || c == 'm' || c == 's' ||
        c == 't') {
      out += Field(c, run, t);
    } else {
      out.append(run, c);
    }
    i += run;
  }
  return out;
}

std::string PictureLocaleTexts::ShortDate(const CivilTime& t) {
  return FormatPicture(date_picture_, t);
}

std::string PictureLocaleTexts::LongTime(const CivilTime& t) {
  return FormatPicture(time_picture_, t);
}

}  // namespace helmsman::platform
