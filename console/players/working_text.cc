#include "console/players/working_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace helmsman::players {

bool WorkingText::Load(std::string text) {
  text_ = std::move(text);
  lines_.clear();
  replaced_.clear();
  lines_.emplace_back();  // line 0
  const char* begin = text_.data();
  const char* end = begin + text_.size();
  const char* at = begin;
  while (at < end) {
    const char* line_end = at;
    while (line_end < end && *line_end != '\n' && *line_end != '\r') ++line_end;
    if (line_end == end) break;  // text after the last line break is not a line
    // CR LF is one line break; a lone CR or LF is one too.
    const char* next =
        line_end + (line_end[0] == '\r' && line_end + 1 < end && line_end[1] == '\n' ? 2 : 1);
    if (line_end > at) {
      if (static_cast<int>(lines_.size()) > kMaxFileLines) {
        lines_.clear();
        return false;
      }
      lines_.emplace_back(at, static_cast<size_t>(line_end - at));
    }
    at = next;
  }
  lines_.emplace_back(kEndMarker);
  return true;
}

void WorkingText::Replace(int number, std::string text) {
  if (number <= 0 || number >= end_line()) return;
  replaced_.push_back(std::move(text));
  lines_[static_cast<size_t>(number)] = replaced_.back();
}

int WorkingText::Find(int start, std::string_view key, std::string_view key2) const {
  int end = end_line();
  for (int i = start < 0 ? 0 : start; i < end; ++i) {
    std::string_view line = lines_[static_cast<size_t>(i)];
    if (StartsWith(line, key) || (!key2.empty() && StartsWith(line, key2))) return i;
  }
  return -1;
}

std::string WorkingText::RewrittenText() const {
  std::string out;
  out.reserve(text_.size() + 64);
  for (int i = 1; i < end_line(); ++i) {
    std::string_view line = lines_[static_cast<size_t>(i)];
    if (line.empty()) continue;
    out.append(line);
    out.append("\r\n");
  }
  return out;
}

bool StartsWith(std::string_view line, std::string_view key) {
  return line.size() >= key.size() && line.compare(0, key.size(), key) == 0;
}

std::string_view ValueOf(std::string_view line) {
  size_t equals = line.find('=');
  if (equals == std::string_view::npos || equals + 2 > line.size()) return {};
  return line.substr(equals + 2);
}

double ReadNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::string number;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) number += text[i++];
  auto digits = [&] {
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') number += text[i++];
  };
  digits();
  if (i < text.size() && text[i] == '.') {
    number += text[i++];
    digits();
  }
  // An exponent counts only when digits follow it ("12e" is 12).
  if (i + 1 < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '-' || text[j] == '+')) ++j;
    if (j < text.size() && text[j] >= '0' && text[j] <= '9') {
      number += 'e';
      number.append(text.substr(i + 1, j - i - 1));
      i = j;
      digits();
    }
  }
  // from_chars reads the game's own form whatever the process locale says ("0.5", never "0,5");
  // it takes no plus sign, and a number out of range leaves the value at 0.
  const char* first = number.data();
  const char* last = first + number.size();
  if (first < last && *first == '+') ++first;
  double value = 0;
  std::from_chars(first, last, value);
  return std::isfinite(value) ? value : 0;
}

std::string NumberText(double number) {
  char text[64];
  if (number == std::floor(number) && std::fabs(number) < 1e15) {
    // Whole numbers are the common case (kills, hours, credits): no floating-point print.
    auto [end, ec] = std::to_chars(text, text + sizeof text, static_cast<int64_t>(number));
    return ec == std::errc() ? std::string(text, end) : std::string("0");
  }
  // Fifteen significant digits, as %.15g gives them in the C locale.
  auto [end, ec] = std::to_chars(text, text + sizeof text, number, std::chars_format::general, 15);
  return ec == std::errc() ? std::string(text, end) : std::string("0");
}

std::string HexErrorNumber(int32_t number) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", static_cast<uint32_t>(number));
  return text;
}

}  // namespace helmsman::players
