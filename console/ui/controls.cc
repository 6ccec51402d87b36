#include "console/ui/controls.h"

#include <algorithm>
#include <string_view>

namespace helmsman::ui {

int Control::value() const {
  if (kind_ == ControlKind::kOption) {
    return int_ref_ && *int_ref_ == option_index_ ? 1 : 0;
  }
  return int_ref_ ? *int_ref_ : value_;
}

Control& Controls::Add(const std::string& name, ControlKind kind) {
  auto it = controls_.find(name);
  if (it != controls_.end()) return *it->second;
  order_.push_back(name);
  auto& slot = controls_[name];
  slot = std::make_unique<Control>(name, kind);
  return *slot;
}

Control& Controls::Get(const std::string& name) {
  auto it = controls_.find(name);
  if (it != controls_.end()) return *it->second;
  missing_.push_back(name);
  *placeholder_ = Control(name, ControlKind::kLabel);
  return *placeholder_;
}

const Control& Controls::Get(const std::string& name) const {
  auto it = controls_.find(name);
  return it != controls_.end() ? *it->second : *placeholder_;
}

void Controls::SetEnabled(const std::string& name, bool enabled) {
  Control& c = Get(name);
  if (c.enabled_ == enabled) return;
  c.enabled_ = enabled;
  Changed(name);
}

void Controls::SetText(const std::string& name, const std::string& text) {
  Control& c = Get(name);
  std::string& target = c.text_ref_ ? *c.text_ref_ : c.text_;
  const size_t limit = c.max_length_ > 0 ? static_cast<size_t>(c.max_length_) : text.size();
  const std::string_view kept = std::string_view(text).substr(0, limit);
  if (target == kept) return;
  target = kept;
  Changed(name);
}

void Controls::SetValue(const std::string& name, int value) {
  Control& c = Get(name);
  if (c.kind_ == ControlKind::kOption) {
    // Selecting one button of a pair deselects its twin: both show the same field.
    if (!c.int_ref_ || *c.int_ref_ == c.option_index_) return;
    *c.int_ref_ = c.option_index_;
    Changed(name);
    return;
  }
  if (c.maximum_ > c.minimum_) value = std::clamp(value, c.minimum_, c.maximum_);
  int& target = c.int_ref_ ? *c.int_ref_ : c.value_;
  if (target == value) return;
  target = value;
  Changed(name);
}

void Controls::SetRows(const std::string& name, std::vector<std::string> rows) {
  Control& c = Get(name);
  c.rows_ = std::move(rows);
  // Row k of the new rows need not be what row k was: a selection kept by its index would
  // silently move to another entry (another player). A caller that knows the row is still
  // the same selects it again.
  c.selected_ = -1;
  Changed(name);
}

void Controls::AddRow(const std::string& name, const std::string& row) {
  Get(name).rows_.push_back(row);
  Changed(name);
}

void Controls::ClearRows(const std::string& name) {
  Control& c = Get(name);
  if (c.rows_.empty() && c.selected_ == -1) return;
  c.rows_.clear();
  c.selected_ = -1;
  Changed(name);
}

void Controls::Select(const std::string& name, int row) {
  Control& c = Get(name);
  if (row < -1 || row >= static_cast<int>(c.rows_.size())) row = -1;
  int& target = c.int_ref_ && c.kind_ == ControlKind::kComboBox ? *c.int_ref_ : c.selected_;
  if (target == row) return;
  target = row;
  Changed(name);
}

void Controls::On(const std::string& name, ControlEvent event, Handler handler) {
  handlers_[{name, event}] = std::move(handler);
}

bool Controls::Fire(const std::string& name, ControlEvent event) {
  auto it = handlers_.find({name, event});
  if (it == handlers_.end()) return false;
  // A copy: the handler may replace itself while it runs.
  Handler handler = it->second;
  ++firing_;
  handler();
  --firing_;
  return true;
}

void Controls::NotifyAll() {
  for (const std::string& name : order_) Changed(name);
}

void Controls::Changed(const std::string& name) {
  if (observer_) observer_(name);
}

}  // namespace helmsman::ui
