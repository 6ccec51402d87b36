// The controls of the "Web Output" tab that belong to publishing: the path buttons of the two
// player pages and of the statistics run, each opening a file dialog whose choice goes into
// its text box subject to a check, and the captions of the statistics options, which show
// their scroll bar's value.
//
// Checks on a chosen path: a header or footer must contain ".htt", a script ".cmd", the
// statistics tool "qvstat.exe" (letter case ignored), else the text box is emptied; an output
// path must hold no blank (scripts started afterwards take paths unquoted), else a message
// box and the text box is left as it was. A cancelled dialog changes nothing.
#ifndef HELMSMAN_CONSOLE_PUBLISHING_WEB_OUTPUT_TAB_H_
#define HELMSMAN_CONSOLE_PUBLISHING_WEB_OUTPUT_TAB_H_

#include <functional>
#include <string>
#include <vector>

#include "console/ui/controls.h"
#include "console/ui/frontend.h"

namespace helmsman::publishing {

inline constexpr char kBlankPathMessage[] =
    "Cannot output to a path that contains spaces.  Please select a different path.";

enum class PathCheck { kHeaderFooter, kScript, kQVStatExe, kOutput };

struct PathButton {
  const char* button;
  const char* text_box;
  const char* filter;
  const char* title;
  PathCheck check;
};

// The thirteen path buttons.
const std::vector<PathButton>& PathButtons();

// A click of a path button: the dialog and the check.
void ChoosePath(ui::Controls& controls, ui::Frontend& frontend, const PathButton& button);

// The statistics options' check boxes, their scroll bars and caption texts around the value.
struct OptionCaption {
  const char* check_box;
  const char* scroll_bar;
  const char* before;
  const char* after;
};
const std::vector<OptionCaption>& OptionCaptions();
// Rewrites the caption of the scroll bar's check box with the scroll bar's value.
void ShowOptionCaption(ui::Controls& controls, const OptionCaption& option);
// All of them (after the settings were loaded behind the controls' backs).
void ShowOptionCaptions(ui::Controls& controls);

// Registers the path buttons' click handlers and the scroll bars' change handlers.
void WireWebOutputTab(ui::Controls& controls, std::function<ui::Frontend&()> frontend);

}  // namespace helmsman::publishing

#endif  // HELMSMAN_CONSOLE_PUBLISHING_WEB_OUTPUT_TAB_H_
