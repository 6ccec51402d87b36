// Reading text files line by line the way the console's line input does: a line ends at
// CR LF, at a lone LF or at a lone CR, so that a file an editor re-saved with other line
// ends reads the same (LF CR is two line ends). The last line needs no line end; a file
// that ends with a line end has no empty line after it. Any other byte, NUL and 0xFF
// included, is text.
#ifndef HELMSMAN_CONSOLE_SETTINGS_TEXT_LINES_H_
#define HELMSMAN_CONSOLE_SETTINGS_TEXT_LINES_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace helmsman::settings {

// Walks the lines of a text held in memory, without copying it. The text must outlive the
// reader and the views it hands out.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  // True when no line is left (the end of file of the line input).
  bool AtEnd() const { return at_ >= text_.size(); }
  // Hands out the next line without its line end; false when AtEnd().
  bool Next(std::string_view* line);
  // The 1-based number of the line handed out last (0 before the first).
  int line_number() const { return line_number_; }

 private:
  std::string_view text_;
  size_t at_ = 0;
  int line_number_ = 0;
};

// The position of the first CR or LF at or after from; npos when there is none.
size_t FindLineEnd(std::string_view text, size_t from);
// The position after the line end that begins at `at` (CR LF counts as one).
size_t SkipLineEnd(std::string_view text, size_t at);

// All lines of the text, in order.
std::vector<std::string> SplitLines(std::string_view text);

// Reads the whole file and splits it. On failure returns false, sets *error and leaves
// *lines empty.
bool ReadTextLines(platform::FileSystem& fs, const std::string& path,
                   std::vector<std::string>* lines, std::string* error);

// The text without its trailing blanks (spaces only, as the console's right trim).
std::string_view TrimTrailingBlanks(std::string_view text);

// Calls visit(key, value) for each "Key=Value" line of text (the small settings files kept
// beside the six), both trimmed of blanks and tabs; a line without '=' is passed over.
void ForEachKeyValue(std::string_view text,
                     const std::function<void(std::string_view, std::string_view)>& visit);

}  // namespace helmsman::settings

#endif  // HELMSMAN_CONSOLE_SETTINGS_TEXT_LINES_H_
