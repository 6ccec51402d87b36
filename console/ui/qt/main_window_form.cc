#include "console/ui/qt/main_window_form.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>

#include "console/ui/main_window_controls.h"
#include "console/ui/qt/log_lists.h"
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

namespace {

// The header over the online lists reads "Name", blanks, "Rank": the name list is as wide as
// the text before "Rank" in the header's font, so that each word stands over its own list.
void AlignOnlineListsUnderTheirHeader(QWidget* page) {
  auto* header = page->findChild<QLabel*>("lblPlayersOnlineHeader");
  auto* names = page->findChild<QListWidget*>("lstPlayersOnline");
  if (header == nullptr || names == nullptr || names->parentWidget() == nullptr) return;
  const QString text = header->text();
  const qsizetype rank = text.lastIndexOf(' ') + 1;
  if (rank <= 0) return;
  auto* grid = qobject_cast<QGridLayout*>(names->parentWidget()->layout());
  const int spacing =
      grid != nullptr && grid->horizontalSpacing() >= 0 ? grid->horizontalSpacing() : 6;
  const int before_rank = QFontMetrics(header->font()).horizontalAdvance(text.left(rank));
  names->setFixedWidth(before_rank - spacing + header->contentsMargins().left());
}

// Tab goes through the controls above the tabs, the page shown and then the folder
// browser beside the tabs (the pages are built after the browser, so it would come first).
void BrowserLastInTabOrder(QWidget* window, QTabWidget* tabs) {
  auto* dir = window->findChild<QWidget*>("Dir1");
  auto* file = window->findChild<QWidget*>("File1");
  if (dir == nullptr || file == nullptr) return;
  QWidget* last = tabs;
  for (QWidget* w = tabs->nextInFocusChain(); w != tabs && w != window; w = w->nextInFocusChain()) {
    if (tabs->isAncestorOf(w)) last = w;
  }
  QWidget::setTabOrder(last, dir);
  QWidget::setTabOrder(dir, file);
}

}  // namespace

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
  AlignOnlineListsUnderTheirHeader(frame.pageOperation);
  BrowserLastInTabOrder(this, frame.SSTab1);
  MakeLogListsReadable(frame.pageLogs);
}

MainWindowForm::~MainWindowForm() = default;

QTabWidget* MainWindowForm::tabs() const { return findChild<QTabWidget*>("SSTab1"); }

}  // namespace helmsman::ui::qt
