#include "console/ui/qt/main_window_form.h"

#include <QTabWidget>

#include "console/ui/main_window_controls.h"
#include "console/ui/qt/qt_text.h"
#include "ui_frm_main.h"
#include "ui_page_banners.h"
#include "ui_page_bans.h"
#include "ui_page_configuration.h"
#include "ui_page_logs.h"
#include "ui_page_operation.h"
#include "ui_page_players.h"
#include "ui_page_web_output.h"

namespace helmsman::ui::qt {

MainWindowForm::MainWindowForm(QWidget* parent) : QWidget(parent) {
  // The generated classes only create widgets, all owned by this window, so they need not
  // outlive setupUi.
  Ui::frmMain frame;
  frame.setupUi(this);
  Ui::pageOperation().setupUi(frame.pageOperation);
  Ui::pagePlayers().setupUi(frame.pagePlayers);
  Ui::pageBans().setupUi(frame.pageBans);
  Ui::pageBanners().setupUi(frame.pageBanners);
  Ui::pageWebOutput().setupUi(frame.pageWebOutput);
  Ui::pageConfiguration().setupUi(frame.pageConfiguration);
  Ui::pageLogs().setupUi(frame.pageLogs);

  // The model owns the captions; the forms carry them only for the designer's preview.
  setWindowTitle(ToQt(kMainWindowCaption));
  const auto& captions = MainWindowTabs();
  for (int i = 0; i < frame.SSTab1->count() && i < static_cast<int>(captions.size()); ++i) {
    frame.SSTab1->setTabText(i, ToQt(captions[i]));
  }
  frame.SSTab1->setCurrentIndex(0);
}

MainWindowForm::~MainWindowForm() = default;

QTabWidget* MainWindowForm::tabs() const { return findChild<QTabWidget*>("SSTab1"); }

}  // namespace helmsman::ui::qt
