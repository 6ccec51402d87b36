#include "console/settings/text_lines.h"

namespace helmsman::settings {

size_t FindLineEnd(std::string_view text, size_t from) {
  const char* p = text.data();
  for (size_t i = from; i < text.size(); ++i) {
    if (p[i] == '\n' || p[i] == '\r') return i;
  }
  return std::string_view::npos;
}

size_t SkipLineEnd(std::string_view text, size_t at) {
  if (at >= text.size()) return text.size();
  // CR LF is one line end; a CR or an LF alone is one too.
  if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') return at + 2;
  return at + 1;
}

bool LineReader::Next(std::string_view* line) {
  if (AtEnd()) return false;
  size_t end = FindLineEnd(text_, at_);
  if (end == std::string_view::npos) end = text_.size();
  *line = text_.substr(at_, end - at_);
  at_ = SkipLineEnd(text_, end);
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

namespace {

std::string_view TrimBlanks(std::string_view text) {
  const size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return {};
  const size_t end = text.find_last_not_of(" \t");
  return text.substr(start, end - start + 1);
}

}  // namespace

void ForEachKeyValue(std::string_view text,
                     const std::function<void(std::string_view, std::string_view)>& visit) {
  LineReader lines(text);
  std::string_view line;
  while (lines.Next(&line)) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    visit(TrimBlanks(line.substr(0, equals)), TrimBlanks(line.substr(equals + 1)));
  }
}

}  // namespace helmsman::settings
