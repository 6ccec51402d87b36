// Text at the Qt boundary: the console's strings are Windows-1252 bytes, Qt's are Unicode.
#ifndef HELMSMAN_CONSOLE_UI_QT_QT_TEXT_H_
#define HELMSMAN_CONSOLE_UI_QT_QT_TEXT_H_

#include <QString>
#include <string>

#include "console/ui/code_page.h"

namespace helmsman::ui::qt {

inline QString ToQt(const std::string& text) {
  return QString::fromStdString(Windows1252ToUtf8(text));
}

// Characters Windows-1252 lacks come back as '?'.
inline std::string FromQt(const QString& text) { return Utf8ToWindows1252(text.toStdString()); }

}  // namespace helmsman::ui::qt

#endif  // HELMSMAN_CONSOLE_UI_QT_QT_TEXT_H_
