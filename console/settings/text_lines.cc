#include "console/settings/text_lines.h"

namespace helmsman::settings {

bool LineReader::Next(std::string_view* line) {
  if (AtEnd()) return false;
  size_t lf = text_.find('\n', at_);
  size_t end = lf == std::string_view::npos ? text_.size() : lf;
  size_t content_end = end;
  // CR LF ends a line like LF alone; the CR is part of the line end, not of the text.
  if (lf != std::string_view::npos && content_end > at_ && text_[content_end - 1] == '\r')
    --content_end;
  *line = text_.substr(at_, content_end - at_);
  at_ = lf == std::string_view::npos ? text_.size() : lf + 1;
  ++line_number_;
  return true;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  LineReader reader(text);
  std::string_view line;
  while (reader.Next(&line)) lines.emplace_back(line);
  return lines;
}

bool ReadTextLines(platform::FileSystem& fs, const std::string& path,
                   std::vector<std::string>* lines, std::string* error) {
  lines->clear();
  std::string data;
  if (!fs.ReadFile(path, &data, error)) return false;
  *lines = SplitLines(data);
  return true;
}

std::string_view TrimTrailingBlanks(std::string_view text) {
  size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

}  // namespace helmsman::settings
