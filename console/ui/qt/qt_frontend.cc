#include "console/ui/qt/qt_frontend.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QStringList>
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
