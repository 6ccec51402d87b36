#include "console/ui/qt/qt_frontend.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTableView>
#include <QVBoxLayout>

#include "console/ui/qt/qt_binding.h"
#include "console/ui/qt/qt_text.h"

namespace helmsman::ui::qt {

QString QtFileFilter(const std::string& filter) {
  const QStringList parts = ToQt(filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    const QString patterns = parts[i + 1].split(';', Qt::SkipEmptyParts).join(' ');
    const QString bracketed = "(" + patterns + ")";
    filters << (description.endsWith(bracketed) ? description : description + " " + bracketed);
  }
  return filters.join(";;");
}

namespace {

// The rows of a question's list, converted to Qt's text only when a cell is painted.
class QuestionListModel : public QAbstractTableModel {
 public:
  QuestionListModel(const QuestionList& list, QObject* parent)
      : QAbstractTableModel(parent), list_(list) {}
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(list_.rows.size());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(list_.columns.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const std::vector<std::string>& row = list_.rows[static_cast<size_t>(index.row())];
    const size_t column = static_cast<size_t>(index.column());
    return column < row.size() ? ToQt(row[column]) : QString();
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    return ToQt(list_.columns[static_cast<size_t>(section)]);
  }

 private:
  const QuestionList& list_;
};

}  // namespace

bool QtFrontend::AskOkCancelWithList(const std::string& title, const std::string& text,
                                     const QuestionList& list) {
  QDialog dialog(window_);
  dialog.setObjectName("frmQuestionList");
  dialog.setWindowTitle(ToQt(title));
  auto* layout = new QVBoxLayout(&dialog);
  auto* summary = new QLabel(ToQt(list.summary), &dialog);
  summary->setObjectName("lblQuestionListSummary");
  summary->setTextFormat(Qt::PlainText);
  layout->addWidget(summary);
  auto* table = new QTableView(&dialog);
  table->setObjectName("tblQuestionList");
  table->setModel(new QuestionListModel(list, table));
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setWordWrap(false);
  // Every row as high as the first: nothing is measured row by row.
  table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  table->horizontalHeader()->setResizeContentsPrecision(200);
  table->resizeColumnsToContents();
  table->horizontalHeader()->setStretchLastSection(true);
  table->setVisible(!list.rows.empty());
  layout->addWidget(table, 1);
  auto* question = new QLabel(ToQt(text), &dialog);
  question->setObjectName("lblQuestionListText");
  question->setTextFormat(Qt::PlainText);
  question->setWordWrap(true);
  if (list.rows.empty()) layout->addSpacing(6);
  layout->addWidget(question);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  // Wide enough that the question does not wrap into a column when the list is empty.
  dialog.setMinimumWidth(480);
  if (!list.rows.empty()) dialog.resize(640, 420);
  return dialog.exec() == QDialog::Accepted;
}

bool QtFrontend::AskOkCancel(const std::string& title, const std::string& text) {
  QMessageBox box(QMessageBox::Question, ToQt(title), ToQt(text),
                  QMessageBox::Ok | QMessageBox::Cancel, window_);
  box.setDefaultButton(QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok;
}

void QtFrontend::ShowMessage(const std::string& title, const std::string& text) {
  QMessageBox box(QMessageBox::Information, ToQt(title), ToQt(text), QMessageBox::Ok, window_);
  box.exec();
}

std::string QtFrontend::OpenFileDialog(const std::string& title, const std::string& filter) {
  const QString path = QFileDialog::getOpenFileName(window_, ToQt(title), {}, QtFileFilter(filter));
  return QFile::encodeName(path).toStdString();
}

std::string QtFrontend::SaveFileDialog(const std::string& title, const std::string& filter) {
  const QString path = QFileDialog::getSaveFileName(window_, ToQt(title), {}, QtFileFilter(filter),
                                                    nullptr, QFileDialog::DontConfirmOverwrite);
  return QFile::encodeName(path).toStdString();
}

void QtFrontend::Repaint(const std::string& control) {
  if (QWidget* widget = binding_->WidgetOf(control)) {
    binding_->ShowPendingSelections();
    widget->repaint();
  }
}

void QtFrontend::DoEvents() { QCoreApplication::processEvents(); }

}  // namespace helmsman::ui::qt

namespace helmsman::ui::qt {

void QtFrontend::ShowVersionWindow(const std::string& title,
                                   const std::vector<std::string>& lines) {
  QDialog dialog(window_);
  dialog.setObjectName("frmVersion");
  dialog.setWindowTitle(ToQt(title));
  auto* layout = new QVBoxLayout(&dialog);
  QStringList text;
  for (const std::string& line : lines) text << ToQt(line);
  auto* label = new QLabel(text.join('\n'), &dialog);
  label->setObjectName("lblVersionInformation");
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  layout->addWidget(label);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.exec();
}

}  // namespace helmsman::ui::qt
