// Reading aids for the three log lists of the main window. A log line may be longer than the
// list is wide (the crash line with its players, the maintenance lines), and the lists lay
// out every row at the height and width of one, so a long line shows cut short. Each list
// shows the whole line under the mouse as its tool tip, lets the operator select several
// lines (Shift and Ctrl) and copy them, one per line, with Ctrl+C or its context menu.
#ifndef HELMSMAN_CONSOLE_UI_QT_LOG_LISTS_H_
#define HELMSMAN_CONSOLE_UI_QT_LOG_LISTS_H_

#include <QString>

class QListWidget;
class QWidget;

namespace helmsman::ui::qt {

// The log lists' names, as the window's controls.
inline constexpr const char* kLogLists[] = {"lstPlayerActivityLog", "lstServerActivityLog",
                                            "lstHELMErrorLog"};

// Sets up every log list found under window.
void MakeLogListsReadable(QWidget* window);

// The selected lines of list in the order they are listed, each ended by a line break.
QString SelectedLines(const QListWidget* list);

}  // namespace helmsman::ui::qt

#endif  // HELMSMAN_CONSOLE_UI_QT_LOG_LISTS_H_
