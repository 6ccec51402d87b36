// Part of the substitute server's Windows console (see dialog_template_win32.h).
#include "qvserver/win32/dialog_template_win32.h"

#include "platform/desktop.h"

namespace helmsman::qvserver {

namespace {

void AddDword(std::vector<WORD>& words, DWORD value) {
  words.push_back(LOWORD(value));
  words.push_back(HIWORD(value));
}

}  // namespace

DialogTemplate::DialogTemplate(const std::string& title, short width, short height) {
  AddDword(words_, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_SETFONT);
  AddDword(words_, 0);  // extended style
  words_.push_back(0);  // item count, set by get()
  for (short value : {short{40}, short{40}, width, height}) words_.push_back(value);
  words_.push_back(0);  // no menu
  words_.push_back(0);  // the dialog class
  AddText(title);
  words_.push_back(8);  // DS_SETFONT: point size and face
  AddText("MS Shell Dlg");
}

void DialogTemplate::AddText(const std::string& text) {
  for (char16_t c : platform::WideFromCodePage(text)) words_.push_back(c);
  words_.push_back(0);
}

void DialogTemplate::AddItemHeader(DWORD style, short x, short y, short width, short height,
                                   int id) {
  if (words_.size() % 2) words_.push_back(0);  // items start on a DWORD boundary
  AddDword(words_, style | WS_CHILD | WS_VISIBLE);
  AddDword(words_, 0);
  for (short value : {x, y, width, height}) words_.push_back(value);
  words_.push_back(static_cast<WORD>(id));
  ++items_;
}

void DialogTemplate::Add(Atom atom, const std::string& text, int id, DWORD style, short x,
                         short y, short width, short height) {
  AddItemHeader(style, x, y, width, height, id);
  words_.push_back(0xFFFF);
  words_.push_back(atom);
  AddText(text);
  words_.push_back(0);  // no creation data
}

void DialogTemplate::Add(const std::string& class_name, const std::string& text, int id,
                         DWORD style, short x, short y, short width, short height) {
  AddItemHeader(style, x, y, width, height, id);
  AddText(class_name);
  AddText(text);
  words_.push_back(0);
}

const DLGTEMPLATE* DialogTemplate::get() {
  words_[4] = items_;
  return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
}

}  // namespace helmsman::qvserver
