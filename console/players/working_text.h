// The decoded text of one character file as the console works on it: the file's non-empty
// lines numbered from 1, an empty line 0, and the end marker "VOXBRINEFILEEND" as the line
// after the last one. Every search over the lines stops at the marker.
//
// Lines are views into the loaded text, so loading allocates nothing per line; a line that
// is rewritten (Replace) keeps its new text in storage of its own, and stays valid as long
// as the WorkingText does.
//
// Also here: the small text rules shared by the reader and the rewriting operations (what a
// key's value is, reading a number the way the game's texts are read, the codec's error
// number in hexadecimal).
#ifndef HELMSMAN_CONSOLE_PLAYERS_WORKING_TEXT_H_
#define HELMSMAN_CONSOLE_PLAYERS_WORKING_TEXT_H_

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace helmsman::players {

// The keys of the character file's lines that the reader, the punishments and the player
// editor all look for (a line starts with its key).
inline constexpr std::string_view kNameKey = "name = ";
inline constexpr std::string_view kMoneyKey = "money = ";
inline constexpr std::string_view kSystemKey = "system = ";
inline constexpr std::string_view kBaseKey = "base = ";
inline constexpr std::string_view kPosKey = "pos = ";
inline constexpr std::string_view kLastBaseKey = "last_base = ";
inline constexpr std::string_view kShipKey = "ship_archetype = ";
inline constexpr std::string_view kEquipKey = "equip = ";
inline constexpr std::string_view kCargoKey = "cargo = ";

inline constexpr char kEndMarker[] = "VOXBRINEFILEEND";
// Lines 0..kMaxWorkingLines: line 0 stays empty and the end marker needs a line of its own,
// so a file holds at most kMaxWorkingLines - 1 non-empty lines.
inline constexpr int kMaxWorkingLines = 20000;
inline constexpr int kMaxFileLines = kMaxWorkingLines - 1;

// The codec as the console calls it: qvcodec(type, source path, target path), 0 on success,
// else the codec's error number. The console passes its binding of the library; tests pass
// the codec itself or one that injects faults.
using CodecFn =
    std::function<int32_t(int32_t type, const std::string& source, const std::string& target)>;
inline constexpr int32_t kCodecDecode = 1;
inline constexpr int32_t kCodecEncode = 2;

class WorkingText {
 public:
  WorkingText() = default;
  // The lines point into the object's own text: it is neither copied nor moved.
  WorkingText(const WorkingText&) = delete;
  WorkingText& operator=(const WorkingText&) = delete;

  // Splits text into lines: CR LF, a lone LF and a lone CR each end a line, so that a text
  // an editor re-saved with other line ends reads the same. Empty lines are dropped, and so
  // is text after the last line break. Returns false, holding no lines, when the text has more than
  // kMaxFileLines non-empty lines.
  bool Load(std::string text);

  // The number of the end marker's line (the number of lines + 1); 0 when nothing is loaded.
  int end_line() const { return lines_.empty() ? 0 : static_cast<int>(lines_.size()) - 1; }
  // Line 0..end_line(); line 0 is empty, end_line() is the end marker.
  std::string_view line(int number) const { return lines_[static_cast<size_t>(number)]; }
  // Replaces the text of a line (not line 0 nor the end marker). An empty text leaves the
  // line out of the rewritten file.
  void Replace(int number, std::string text);

  // The first line from start up to the end marker (exclusive) that begins with key, or with
  // key2 when given; -1 when the end marker is reached.
  int Find(int start, std::string_view key, std::string_view key2 = {}) const;

  // The lines 1..end_line()-1 that are not empty, each followed by CR LF: the text that is
  // encoded back over the character file.
  std::string RewrittenText() const;

 private:
  std::string text_;
  std::vector<std::string_view> lines_;
  std::deque<std::string> replaced_;
};

bool StartsWith(std::string_view line, std::string_view key);
// The value of a key line: the text from two characters after the line's first "=" to the
// end ("" when the line has no "=" or ends before).
std::string_view ValueOf(std::string_view line);

// The number at the start of a text, read as the game's texts are read: leading blanks, a
// sign, digits, a decimal point and digits, an exponent; reading stops at the first other
// character, and a text without a number gives 0 ("250abc" is 250, "abc" is 0).
double ReadNumber(std::string_view text);
// A number as text: whole numbers without a decimal point ("7", "-3"), others with up to 15
// significant digits ("12.5").
std::string NumberText(double number);
// The codec's error number in upper-case hexadecimal without prefix (263 is "107"; negative
// numbers as their 32-bit form, -1 is "FFFFFFFF").
std::string HexErrorNumber(int32_t number);

}  // namespace helmsman::players

#endif  // HELMSMAN_CONSOLE_PLAYERS_WORKING_TEXT_H_
