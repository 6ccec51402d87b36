// The controls of a window as the presentation model holds them: for every control, by its
// name, what its widget shows (enabled, caption or text, list rows, selection, value) and the
// handlers of its events. The Qt view binds each widget to the control of the same name; the
// headless frontend and the tests read and drive the controls directly.
//
// Control arrays (the twelve timed banner texts, the two buttons of an option pair) are
// separate controls named "<name>_<index>", e.g. "txtTimedBanner_3", "optRegionalDateSetting_1".
//
// A control may be bound to a field of the Settings record: then its value or text IS that
// field (reads and writes go through to it), so the record always holds what the window
// shows. Option pairs bind their common int field to each button with the button's index.
#ifndef HELMSMAN_CONSOLE_UI_CONTROLS_H_
#define HELMSMAN_CONSOLE_UI_CONTROLS_H_

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace helmsman::ui {

enum class ControlKind {
  kButton,     // cmd: caption
  kCheckBox,   // chk: caption, value 0/1
  kOption,     // opt: caption, checked when the bound field equals its index
  kText,       // txt: text
  kLabel,      // lbl: caption
  kFrame,      // fra: caption
  kList,       // lst: rows, selected row
  kComboBox,   // cmb: rows, selected index (-1 = none)
  kScrollBar,  // vsc: value within [minimum, maximum]
  kProgress,   // progress bar: value within [minimum, maximum]
  kTimer,      // tmr: enabled = running, value = interval in milliseconds
  kCalendar,   // cal: a month calendar, value = the chosen date as year * 10000 + month * 100 + day
};

// The events a view reports and the model handles.
// kTimer: a timer control fired (the view runs the timer while it is enabled, with its
// value as the interval in milliseconds). kEnter: the Enter key was pressed in a text box.
enum class ControlEvent { kClick, kChange, kDoubleClick, kTimer, kEnter };

class Control {
 public:
  Control(std::string name, ControlKind kind) : name_(std::move(name)), kind_(kind) {}

  const std::string& name() const { return name_; }
  ControlKind kind() const { return kind_; }

  bool enabled() const { return enabled_; }
  // Caption of buttons, labels, frames and check boxes; text of text boxes.
  const std::string& text() const { return text_ref_ ? *text_ref_ : text_; }
  // Check box state 0/1, scroll bar or progress value, option: 1 when selected.
  int value() const;
  const std::vector<std::string>& rows() const { return rows_; }
  // Selected row of a list, index of a combo box, -1 = none.
  int selected() const { return int_ref_ && kind_ == ControlKind::kComboBox ? *int_ref_ : selected_; }
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  const std::string& tool_tip() const { return tool_tip_; }
  // The most characters a text box holds; 0 = no limit. SetText keeps the first max_length
  // characters of a longer text, as the box does with what is typed or pasted into it.
  int max_length() const { return max_length_; }

  // Bindings to the Settings record (see the file comment). The field must outlive the
  // control. option_index is the button's index within its pair.
  void BindText(std::string* field) { text_ref_ = field; }
  void BindValue(int* field) { int_ref_ = field; }
  void BindOption(int* field, int option_index) {
    int_ref_ = field;
    option_index_ = option_index;
  }
  void set_range(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
  }
  void set_tool_tip(std::string tip) { tool_tip_ = std::move(tip); }
  void set_max_length(int length) { max_length_ = length; }

 private:
  friend class Controls;
  std::string name_;
  ControlKind kind_;
  bool enabled_ = true;
  std::string text_;
  std::vector<std::string> rows_;
  int selected_ = -1;
  int value_ = 0;
  int minimum_ = 0;
  int maximum_ = 0;
  std::string tool_tip_;
  int max_length_ = 0;
  std::string* text_ref_ = nullptr;
  int* int_ref_ = nullptr;
  int option_index_ = -1;
};

// All controls of one window, and the handlers of their events. Every change made through
// the setters is reported to the observer with the control's name, so a view can follow.
// Setting a control to the value it already has reports nothing.
class Controls {
 public:
  using Handler = std::function<void()>;
  using Observer = std::function<void(const std::string& name)>;

  // Adds a control; returns the existing one when the name is taken.
  Control& Add(const std::string& name, ControlKind kind);
  bool Has(const std::string& name) const { return controls_.count(name) > 0; }
  // The control by name. Asking for a name that was never added is a programming error
  // caught in tests: it returns a detached placeholder and records the name in missing().
  Control& Get(const std::string& name);
  const Control& Get(const std::string& name) const;
  const std::vector<std::string>& missing() const { return missing_; }
  // Names in the order they were added.
  const std::vector<std::string>& names() const { return order_; }

  void SetEnabled(const std::string& name, bool enabled);
  void SetText(const std::string& name, const std::string& text);
  // Check box state, scroll bar or progress value (clamped to the range when it has one),
  // timer interval. For an option button, selects it (sets the bound field to its index).
  void SetValue(const std::string& name, int value);
  // Replaces the rows and selects none (a combo box bound to a field keeps the field).
  void SetRows(const std::string& name, std::vector<std::string> rows);
  void AddRow(const std::string& name, const std::string& row);
  void ClearRows(const std::string& name);
  // Selects a row (lists) or an index (combo boxes); -1 or out of range selects nothing.
  void Select(const std::string& name, int row);

  // What the view reports: the operator clicked or changed a control. The change has
  // already been applied through the setters; this runs the handler.
  void On(const std::string& name, ControlEvent event, Handler handler);
  // Runs the handler of the event, if any. Returns false when the control has none.
  bool Fire(const std::string& name, ControlEvent event);
  // How many handlers run at this moment (more than one when a handler lets events run and
  // another event comes in). 0 = the window is idle between events.
  int firing() const { return firing_; }

  void set_observer(Observer observer) { observer_ = std::move(observer); }
  // Reports every control as changed (after the Settings record was loaded behind the
  // controls' backs).
  void NotifyAll();

 private:
  void Changed(const std::string& name);
  std::map<std::string, std::unique_ptr<Control>> controls_;
  std::vector<std::string> order_;
  std::map<std::pair<std::string, ControlEvent>, Handler> handlers_;
  Observer observer_;
  int firing_ = 0;
  std::vector<std::string> missing_;
  std::unique_ptr<Control> placeholder_ = std::make_unique<Control>("", ControlKind::kLabel);
};

}  // namespace helmsman::ui

#endif  // HELMSMAN_CONSOLE_UI_CONTROLS_H_
