#include "console/ui/qt/qt_binding.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QButtonGroup>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStringList>
#include <QTabWidget>
#include <type_traits>

#include "console/ui/qt/qt_text.h"

namespace helmsman::ui::qt {

namespace {

// Qt refuses to clear the checked button of an exclusive set; a pair with no button selected
// (a date order never chosen) needs exactly that.
void SetOptionChecked(QRadioButton* button, bool on) {
  if (button->isChecked() == on) return;
  QButtonGroup* group = button->group();
  const bool group_exclusive = group && group->exclusive();
  const bool auto_exclusive = button->autoExclusive();
  if (!on) {
    if (group_exclusive) group->setExclusive(false);
    button->setAutoExclusive(false);
  }
  button->setChecked(on);
  if (!on) {
    if (group_exclusive) group->setExclusive(true);
    button->setAutoExclusive(auto_exclusive);
  }
}

// Keeps the first `same` items of a list or combo box and appends the rest of rows.
template <typename Widget>
void ReplaceTail(Widget* widget, int same, const std::vector<std::string>& rows) {
  if (same == 0) {
    widget->clear();
  } else {
    while (widget->count() > same) {
      if constexpr (std::is_same_v<Widget, QListWidget>) {
        delete widget->takeItem(widget->count() - 1);
      } else {
        widget->removeItem(widget->count() - 1);
      }
    }
  }
  // All at once: the view lays out and announces one insertion instead of one per row,
  // which keeps a filtered list of 20,000 names quick to show.
  QStringList added;
  added.reserve(static_cast<qsizetype>(rows.size() - same));
  for (size_t i = same; i < rows.size(); ++i) added << ToQt(rows[i]);
  widget->addItems(added);
}

int HighlightedRow(const QListWidget* list) {
  const QList<QListWidgetItem*> items = list->selectedItems();
  return items.isEmpty() ? -1 : list->row(items.front());
}

void ShowListSelection(QListWidget* list, int selected) {
  if (selected < 0) {
    list->setCurrentRow(-1);
    list->clearSelection();
    return;
  }
  // Appending to a log selects its newest line so that the list scrolls to it: the view
  // scrolls to a new current row by itself, a hidden one (a log tab not shown) when it is
  // shown, so that rows added meanwhile are not laid out again and again. A current row
  // without its highlight (see Connect) gets the highlight.
  if (list->currentRow() != selected || HighlightedRow(list) != selected) {
    list->setCurrentRow(selected, QItemSelectionModel::ClearAndSelect);
  }
}

}  // namespace

bool FitsKind(const QWidget* widget, ControlKind kind) {
  switch (kind) {
    case ControlKind::kButton:
      return qobject_cast<const QPushButton*>(widget);
    case ControlKind::kCheckBox:
      return qobject_cast<const QCheckBox*>(widget);
    case ControlKind::kOption:
      return qobject_cast<const QRadioButton*>(widget);
    case ControlKind::kText:
      return qobject_cast<const QLineEdit*>(widget);
    case ControlKind::kLabel:
      return qobject_cast<const QLabel*>(widget);
    case ControlKind::kFrame:
      return qobject_cast<const QGroupBox*>(widget);
    case ControlKind::kList:
      return qobject_cast<const QListWidget*>(widget);
    case ControlKind::kComboBox:
      return qobject_cast<const QComboBox*>(widget) || qobject_cast<const QTabWidget*>(widget);
    case ControlKind::kScrollBar:
      return qobject_cast<const QAbstractSlider*>(widget);
    case ControlKind::kProgress:
      return qobject_cast<const QProgressBar*>(widget);
    case ControlKind::kTimer:
      return false;
    case ControlKind::kCalendar:
      return qobject_cast<const QCalendarWidget*>(widget);
  }
  return false;
}

QtBinding::QtBinding(Controls& controls, QWidget* root) : controls_(controls), root_(root) {
  for (const std::string& name : controls_.names()) Bind(controls_.Get(name));
  controls_.set_observer([this](const std::string& name) { Show(name); });
}

QtBinding::~QtBinding() { controls_.set_observer(nullptr); }

QWidget* QtBinding::WidgetOf(const std::string& name) const {
  auto it = widgets_.find(name);
  return it == widgets_.end() ? nullptr : it->second.data();
}

QTimer* QtBinding::TimerOf(const std::string& name) const {
  auto it = timers_.find(name);
  return it == timers_.end() ? nullptr : it->second;
}

void QtBinding::Bind(const Control& control) {
  const std::string& name = control.name();
  if (control.kind() == ControlKind::kTimer) {
    ConnectTimer(name);
  } else {
    auto* widget = root_->findChild<QWidget*>(QString::fromStdString(name));
    if (!widget || !FitsKind(widget, control.kind())) {
      unbound_.push_back(name);
      return;
    }
    // Player names and log lines are shown as typed, never as markup.
    if (auto* label = qobject_cast<QLabel*>(widget)) label->setTextFormat(Qt::PlainText);
    // Rows are single lines of text: with one height for all, adding a row to a long log
    // lays out that row instead of measuring every row again.
    if (auto* list = qobject_cast<QListWidget*>(widget)) list->setUniformItemSizes(true);
    // A scroll bar here is a setting (an interval, a limit): reached with Tab like the other
    // settings and moved with the arrow keys, where Qt's own would take the mouse only.
    if (auto* bar = qobject_cast<QScrollBar*>(widget)) bar->setFocusPolicy(Qt::StrongFocus);
    widgets_[name] = widget;
    Connect(name, widget);
  }
  Show(name);
}

template <typename Action>
void QtBinding::FromWidget(Action action) {
  if (showing_) return;
  action();
}

void QtBinding::Connect(const std::string& name, QWidget* widget) {
  using E = ControlEvent;
  if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
    connect(tabs, &QTabWidget::currentChanged, this, [this, name](int index) {
      FromWidget([&] {
        controls_.Select(name, index);
        controls_.Fire(name, E::kChange);
      });
    });
  } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
    connect(check, &QCheckBox::clicked, this, [this, name](bool checked) {
      FromWidget([&] {
        controls_.SetValue(name, checked ? 1 : 0);
        controls_.Fire(name, E::kClick);
      });
    });
  } else if (auto* option = qobject_cast<QRadioButton*>(widget)) {
    connect(option, &QRadioButton::toggled, this, [this, name](bool on) {
      if (!on) return;  // its twin reports the new choice
      FromWidget([&] {
        controls_.SetValue(name, 1);
        controls_.Fire(name, E::kClick);
      });
    });
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    connect(button, &QAbstractButton::clicked, this,
            [this, name] { FromWidget([&] { controls_.Fire(name, E::kClick); }); });
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    connect(edit, &QLineEdit::textEdited, this, [this, name](const QString& text) {
      FromWidget([&] {
        controls_.SetText(name, FromQt(text));
        controls_.Fire(name, E::kChange);
      });
    });
    connect(edit, &QLineEdit::returnPressed, this,
            [this, name] { FromWidget([&] { controls_.Fire(name, E::kEnter); }); });
  } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
    // The highlighted row is the chosen one, not the current one: the list makes its first
    // row current without highlighting it when Tab brings the focus in, and Ctrl+click takes
    // the highlight away without moving the current row. Either way the model must hold what
    // the window shows, or a button would act on a player nobody chose.
    connect(list, &QListWidget::itemSelectionChanged, this, [this, name, list] {
      FromWidget([&] {
        controls_.Select(name, HighlightedRow(list));
        controls_.Fire(name, E::kClick);
      });
    });
    connect(list, &QListWidget::itemDoubleClicked, this,
            [this, name] { FromWidget([&] { controls_.Fire(name, E::kDoubleClick); }); });
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    connect(combo, &QComboBox::currentIndexChanged, this, [this, name](int index) {
      FromWidget([&] {
        controls_.Select(name, index);
        controls_.Fire(name, E::kChange);
      });
    });
  } else if (auto* calendar = qobject_cast<QCalendarWidget*>(widget)) {
    connect(calendar, &QCalendarWidget::selectionChanged, this, [this, name, calendar] {
      FromWidget([&] {
        const QDate date = calendar->selectedDate();
        controls_.SetValue(name, date.year() * 10000 + date.month() * 100 + date.day());
        controls_.Fire(name, E::kChange);
      });
    });
  } else if (auto* slider = qobject_cast<QAbstractSlider*>(widget)) {
    connect(slider, &QAbstractSlider::valueChanged, this, [this, name](int value) {
      FromWidget([&] {
        controls_.SetValue(name, value);
        controls_.Fire(name, E::kChange);
      });
    });
  }
}

void QtBinding::ConnectTimer(const std::string& name) {
  auto* timer = new QTimer(this);
  timer->setTimerType(Qt::PreciseTimer);
  timers_[name] = timer;
  connect(timer, &QTimer::timeout, this, [this, name] {
    // A timeout already queued when the model disabled the timer is dropped.
    if (!controls_.Get(name).enabled()) return;
    FromWidget([&] { controls_.Fire(name, ControlEvent::kTimer); });
  });
}

void QtBinding::Show(const std::string& name) {
  if (auto timer = timers_.find(name); timer != timers_.end()) {
    const Control& c = controls_.Get(name);
    // An interval of 0 would fire on every pass of the event loop: such a timer is off.
    const bool run = c.enabled() && c.value() > 0;
    if (run && timer->second->interval() != c.value()) timer->second->setInterval(c.value());
    if (run && !timer->second->isActive()) timer->second->start();
    if (!run && timer->second->isActive()) timer->second->stop();
    return;
  }
  auto it = widgets_.find(name);
  if (it == widgets_.end() || !it->second) return;
  QWidget* w = it->second;
  const Control& c = controls_.Get(name);
  const bool was_showing = showing_;
  showing_ = true;
  w->setEnabled(c.enabled());
  w->setToolTip(ToQt(c.tool_tip()));
  switch (c.kind()) {
    case ControlKind::kButton:
      static_cast<QAbstractButton*>(w)->setText(ToQt(c.text()));
      break;
    case ControlKind::kCheckBox:
      static_cast<QCheckBox*>(w)->setText(ToQt(c.text()));
      static_cast<QCheckBox*>(w)->setChecked(c.value() != 0);
      break;
    case ControlKind::kOption:
      ShowOption(w, c);
      break;
    case ControlKind::kText: {
      auto* edit = static_cast<QLineEdit*>(w);
      // Set before the text, which the box would cut to its old limit otherwise.
      if (c.max_length() > 0 && edit->maxLength() != c.max_length()) {
        edit->setMaxLength(c.max_length());
      }
      // Setting the same text again would move the cursor of a box being typed in.
      QString text = ToQt(c.text());
      if (edit->text() != text) edit->setText(text);
      break;
    }
    case ControlKind::kLabel:
      static_cast<QLabel*>(w)->setText(ToQt(c.text()));
      break;
    case ControlKind::kFrame:
      static_cast<QGroupBox*>(w)->setTitle(ToQt(c.text()));
      break;
    case ControlKind::kList:
    case ControlKind::kComboBox:
      ShowRows(name, c);
      break;
    case ControlKind::kScrollBar: {
      auto* slider = static_cast<QAbstractSlider*>(w);
      if (c.maximum() > c.minimum()) slider->setRange(c.minimum(), c.maximum());
      slider->setValue(c.value());
      break;
    }
    case ControlKind::kProgress: {
      auto* bar = static_cast<QProgressBar*>(w);
      // Without a range Qt would animate a busy bar; an idle bar shows empty instead.
      if (c.maximum() > c.minimum()) {
        bar->setRange(c.minimum(), c.maximum());
      } else {
        bar->setRange(0, 100);
      }
      bar->setValue(c.value());
      break;
    }
    case ControlKind::kTimer:
      break;
    case ControlKind::kCalendar: {
      const int value = c.value();
      const QDate date(value / 10000, value / 100 % 100, value % 100);
      auto* calendar = static_cast<QCalendarWidget*>(w);
      if (date.isValid() && calendar->selectedDate() != date) calendar->setSelectedDate(date);
      break;
    }
  }
  showing_ = was_showing;
}

void QtBinding::ShowRows(const std::string& name, const Control& control) {
  ShownRows& cache = shown_rows_[name];
  std::vector<std::string>& shown = cache.rows;
  const std::vector<std::string>& rows = control.rows();
  size_t same = 0;
  if (rows.data() == cache.storage && rows.size() >= shown.size()) {
    // Still the same storage, no shorter: the rows were appended to (AddRow). Rows the model
    // replaces (SetRows) always come in new storage, and emptying (ClearRows) shortens them;
    // both are reported here before anything else can change, so the cache is never stale.
    same = shown.size();
  } else {
    while (same < shown.size() && same < rows.size() && shown[same] == rows[same]) ++same;
  }
  QWidget* w = widgets_[name];
  if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
    for (int i = static_cast<int>(same); i < tabs->count() && i < static_cast<int>(rows.size());
         ++i) {
      tabs->setTabText(i, ToQt(rows[i]));
    }
    if (control.selected() >= 0 && control.selected() < tabs->count()) {
      tabs->setCurrentIndex(control.selected());
    }
  } else if (auto* list = qobject_cast<QListWidget*>(w)) {
    if (same != rows.size() || shown.size() != rows.size()) {
      ReplaceTail(list, static_cast<int>(same), rows);
    }
    const int selected = control.selected();
    if (list->isVisible() && selected >= 0 && list->currentRow() != selected) {
      if (pending_selections_.empty()) {
        QTimer::singleShot(0, this, [this] { ShowPendingSelections(); });
      }
      pending_selections_.insert(name);
      // Meanwhile the old highlight must not stay on a row the model no longer holds.
      if (HighlightedRow(list) != selected) list->clearSelection();
    } else {
      ShowListSelection(list, selected);
    }
  } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    if (same != rows.size() || shown.size() != rows.size()) {
      ReplaceTail(combo, static_cast<int>(same), rows);
    }
    if (combo->currentIndex() != control.selected()) combo->setCurrentIndex(control.selected());
  }
  shown.resize(same);
  shown.insert(shown.end(), rows.begin() + same, rows.end());
  cache.storage = rows.data();
}

void QtBinding::ShowPendingSelections() {
  const std::set<std::string> names = std::move(pending_selections_);
  pending_selections_.clear();
  const bool was_showing = showing_;
  showing_ = true;
  for (const std::string& name : names) {
    if (auto* list = qobject_cast<QListWidget*>(WidgetOf(name))) {
      ShowListSelection(list, controls_.Get(name).selected());
    }
  }
  showing_ = was_showing;
}

void QtBinding::ShowOption(QWidget* widget, const Control& control) {
  auto* button = static_cast<QRadioButton*>(widget);
  button->setText(ToQt(control.text()));
  SetOptionChecked(button, control.value() == 1);
  // The model reports only the button it changed; its twins share the field.
  if (QButtonGroup* group = button->group()) {
    for (QAbstractButton* twin : group->buttons()) {
      const std::string twin_name = twin->objectName().toStdString();
      auto* twin_option = qobject_cast<QRadioButton*>(twin);
      if (twin == button || !twin_option || widgets_.count(twin_name) == 0) continue;
      SetOptionChecked(twin_option, controls_.Get(twin_name).value() == 1);
    }
  }
}

}  // namespace helmsman::ui::qt
