#include "console/ui/qt/log_lists.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QKeySequence>
#include <QListWidget>
#include <QToolTip>
#include <algorithm>

namespace helmsman::ui::qt {

namespace {

// Shows the row under the mouse in full. Asked of the viewport only when the mouse rests, so
// a log of many thousands of lines costs nothing more.
class WholeLineTips : public QObject {
 public:
  explicit WholeLineTips(QListWidget* list) : QObject(list), list_(list) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    // The type first: the list itself is not asked while it is being destroyed.
    if (event->type() != QEvent::ToolTip || watched != list_->viewport()) return false;
    auto* help = static_cast<QHelpEvent*>(event);
    const QListWidgetItem* item = list_->itemAt(help->pos());
    if (item == nullptr) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(help->globalPos(), item->text(), list_->viewport(),
                         list_->visualItemRect(item));
    }
    return true;
  }

 private:
  QListWidget* list_;
};

void MakeReadable(QListWidget* list) {
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->viewport()->installEventFilter(new WholeLineTips(list));
  auto* copy = new QAction(QObject::tr("&Copy"), list);
  copy->setObjectName("actCopyLines");
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  QObject::connect(copy, &QAction::triggered, list, [list] {
    const QString lines = SelectedLines(list);
    if (!lines.isEmpty()) QApplication::clipboard()->setText(lines);
  });
  auto* select_all = new QAction(QObject::tr("Select &All"), list);
  select_all->setObjectName("actSelectAllLines");
  select_all->setShortcut(QKeySequence::SelectAll);
  select_all->setShortcutContext(Qt::WidgetShortcut);
  QObject::connect(select_all, &QAction::triggered, list, &QListWidget::selectAll);
  list->addAction(copy);
  list->addAction(select_all);
  list->setContextMenuPolicy(Qt::ActionsContextMenu);
}

}  // namespace

void MakeLogListsReadable(QWidget* window) {
  for (const char* name : kLogLists) {
    if (auto* list = window->findChild<QListWidget*>(name)) MakeReadable(list);
  }
}

QString SelectedLines(const QListWidget* list) {
  QList<int> rows;
  for (const QListWidgetItem* item : list->selectedItems()) rows << list->row(item);
  std::sort(rows.begin(), rows.end());
  QString lines;
  for (int row : rows) lines += list->item(row)->text() + '\n';
  return lines;
}

}  // namespace helmsman::ui::qt
