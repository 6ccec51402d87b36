// An in-memory dialog template (DLGTEMPLATE and its items), from which CreateDialogIndirect
// makes a real dialog of class "#32770" with its controls in the order they were added,
// which is also their tab order.
//
// This folder is the Windows console of the substitute server, a Windows GUI program: the one
// place outside platform/ that includes <windows.h>.
#ifndef HELMSMAN_QVSERVER_WIN32_DIALOG_TEMPLATE_WIN32_H_
#define HELMSMAN_QVSERVER_WIN32_DIALOG_TEMPLATE_WIN32_H_

#include <windows.h>

#include <string>
#include <vector>

namespace helmsman::qvserver {

class DialogTemplate {
 public:
  // Predefined control classes of a template item.
  enum Atom : WORD { kButton = 0x0080, kStatic = 0x0082, kListBox = 0x0083 };

  // A visible popup dialog with a caption; coordinates in dialog units.
  DialogTemplate(const std::string& title, short width, short height);

  void Add(Atom atom, const std::string& text, int id, DWORD style, short x, short y,
           short width, short height);
  // A control of a registered class given by name ("RichEdit20W").
  void Add(const std::string& class_name, const std::string& text, int id, DWORD style, short x,
           short y, short width, short height);

  // Valid until the next Add.
  const DLGTEMPLATE* get();

 private:
  void AddItemHeader(DWORD style, short x, short y, short width, short height, int id);
  void AddText(const std::string& text);

  std::vector<WORD> words_;
  WORD items_ = 0;
};

}  // namespace helmsman::qvserver

#endif  // HELMSMAN_QVSERVER_WIN32_DIALOG_TEMPLATE_WIN32_H_
