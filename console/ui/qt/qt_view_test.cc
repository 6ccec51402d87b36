// The Qt view on the offscreen platform: every control of the main window has its widget,
// changes travel both ways, and showing a change never runs a handler.
// With HELMSMAN_SCREENSHOT=/path/window.png set, the test also saves the window (one picture
// per tab: window.png is "Operation", window_1.png "Players" and so on; window_3_1.png is the
// second page of the inner tabs of "Banners"), the version window as window_version.png and
// a question with its list as window_question_list.png;
// the editor's tabs are window_editor_0.png and on (qt_editor_window_test.cc).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>
#include <QToolTip>
#include <map>
#include <memory>

#include "console/ui/main_window_controls.h"
#include "console/ui/qt/main_window_form.h"
#include "console/ui/qt/offscreen_testing.h"
#include "console/ui/qt/qt_binding.h"
#include "console/ui/qt/qt_frontend.h"
#include "console/ui/qt/qt_text.h"

namespace helmsman::ui::qt {
namespace {

class QtViewTest : public OffscreenQtTest {
 protected:
  QtViewTest() {
    AddMainWindowControls(controls_, settings_);
    binding_ = std::make_unique<QtBinding>(controls_, &form_);
    form_.resize(1180, 760);
    form_.show();
  }

  template <typename W>
  W* Widget(const std::string& name) {
    auto* widget = qobject_cast<W*>(binding_->WidgetOf(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  // Counts every event handled, as "name event".
  void CountEvents(const std::string& name, ControlEvent event, const char* label) {
    controls_.On(name, event, [this, name, label] { ++fired_[name + " " + label]; });
  }

  settings::Settings settings_;
  Controls controls_;
  MainWindowForm form_;
  std::unique_ptr<QtBinding> binding_;
  std::map<std::string, int> fired_;
};

// Types text the way a keyboard layout delivers it, whatever its letters.
void Type(QWidget* widget, const QString& text) {
  for (QChar c : text) QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), {});
}

const char* ClassFor(const std::string& name, ControlKind kind) {
  if (name == "tbsLogTabs" || name == "SSTab1" || name == "tabsConfiguration") {
    return "QTabWidget";
  }
  switch (kind) {
    case ControlKind::kButton:
      return "QPushButton";
    case ControlKind::kCheckBox:
      return "QCheckBox";
    case ControlKind::kOption:
      return "QRadioButton";
    case ControlKind::kText:
      return "QLineEdit";
    case ControlKind::kLabel:
      return "QLabel";
    case ControlKind::kFrame:
      return "QGroupBox";
    case ControlKind::kList:
      return "QListWidget";
    case ControlKind::kComboBox:
      return "QComboBox";
    case ControlKind::kScrollBar:
      return "QScrollBar";
    case ControlKind::kProgress:
      return "QProgressBar";
    case ControlKind::kTimer:
      return "";
    case ControlKind::kCalendar:
      return "QCalendarWidget";
  }
  return "";
}

TEST_F(QtViewTest, EveryControlHasAWidgetOfItsKind) {
  EXPECT_TRUE(binding_->unbound().empty()) << binding_->unbound().front();
  for (const std::string& name : controls_.names()) {
    const Control& control = controls_.Get(name);
    if (control.kind() == ControlKind::kTimer) {
      EXPECT_NE(binding_->TimerOf(name), nullptr) << name;
      continue;
    }
    QWidget* widget = binding_->WidgetOf(name);
    ASSERT_NE(widget, nullptr) << name;
    EXPECT_STREQ(widget->metaObject()->className(), ClassFor(name, control.kind())) << name;
  }
  EXPECT_TRUE(controls_.missing().empty());
}

TEST_F(QtViewTest, WindowShowsTheModelsCaptionsAndTabs) {
  EXPECT_EQ(form_.windowTitle(), "Helmsman mk.V -- Voxbrine");
  QStringList tabs;
  for (int i = 0; i < form_.tabs()->count(); ++i) tabs << form_.tabs()->tabText(i);
  EXPECT_EQ(tabs.join(","), "Operation,Players,Bans,Banners,Web Output,Configuration,Logs");
  EXPECT_EQ(Widget<QPushButton>("cmdToggleServer")->text(), "Start Server");
  EXPECT_EQ(Widget<QPushButton>("cmdToggleServer")->toolTip(),
            "Start/stop QVServer.exe and the main event timer");
  EXPECT_FALSE(Widget<QPushButton>("cmdSend")->isEnabled());
  EXPECT_EQ(Widget<QLineEdit>("txtKickMessagePart2")->text(), "because they're ugly!");
  EXPECT_EQ(Widget<QScrollBar>("vscDaysInactive")->minimum(), 5);
  EXPECT_EQ(Widget<QScrollBar>("vscDaysInactive")->maximum(), 600);
  EXPECT_EQ(Widget<QScrollBar>("vscDaysInactive")->value(), 15);
  EXPECT_EQ(Widget<QComboBox>("cmbDailyBannerTime_4")->count(), 24);
  EXPECT_EQ(Widget<QComboBox>("cmbDailyBannerTime_4")->currentIndex(), -1);
  auto* log_tabs = Widget<QTabWidget>("tbsLogTabs");
  EXPECT_EQ(log_tabs->tabText(1), "&Server Activity Log");
  // No date order chosen yet: neither button is checked.
  EXPECT_FALSE(Widget<QRadioButton>("optRegionalDateSetting_0")->isChecked());
  EXPECT_FALSE(Widget<QRadioButton>("optRegionalDateSetting_1")->isChecked());
  EXPECT_TRUE(Widget<QRadioButton>("optRegionalTimeSetting_0")->isChecked());
}

TEST_F(QtViewTest, ModelChangesReachTheWidgetsWithoutRunningHandlers) {
  for (const std::string& name : controls_.names()) {
    for (auto event : {ControlEvent::kClick, ControlEvent::kChange, ControlEvent::kDoubleClick})
      CountEvents(name, event, "any");
  }
  controls_.SetText("lblStatus",
                    "Fine \x80"
                    "5 for \x93Zy\xF6la\x94");
  controls_.SetEnabled("cmdSend", true);
  controls_.SetText("txtChatText", "hello");
  controls_.SetValue("chkServerCheckDelay", 1);
  controls_.SetValue("vscServerCheckInterval", 12);
  controls_.SetValue("optRegionalDateSetting_1", 1);
  controls_.Select("cmbDailyBannerDay_2", 5);
  controls_.AddRow("lstServerActivityLog", "line one");
  controls_.AddRow("lstServerActivityLog", "line two");
  controls_.Select("lstServerActivityLog", 1);
  controls_.Select("tbsLogTabs", 2);
  controls_.SetText("fraPlayerList", "Player List (3 players) ");
  controls_.SetRows("lstPlayersOnline", {"Aurel Vantis", "Mira Solbeck", "Tomo Quell"});
  controls_.Select("lstPlayersOnline", 2);
  QApplication::processEvents();  // the list is on screen: see the next test

  EXPECT_EQ(Widget<QLabel>("lblStatus")->text(), QString::fromUtf8("Fine €5 for “Zyöla”"));
  EXPECT_TRUE(Widget<QPushButton>("cmdSend")->isEnabled());
  EXPECT_EQ(Widget<QLineEdit>("txtChatText")->text(), "hello");
  EXPECT_TRUE(Widget<QCheckBox>("chkServerCheckDelay")->isChecked());
  EXPECT_EQ(Widget<QScrollBar>("vscServerCheckInterval")->value(), 12);
  EXPECT_TRUE(Widget<QRadioButton>("optRegionalDateSetting_1")->isChecked());
  EXPECT_EQ(Widget<QComboBox>("cmbDailyBannerDay_2")->currentText(), "Friday");
  auto* log = Widget<QListWidget>("lstServerActivityLog");
  ASSERT_EQ(log->count(), 2);
  EXPECT_EQ(log->item(1)->text(), "line two");
  EXPECT_EQ(log->currentRow(), 1);
  EXPECT_EQ(Widget<QTabWidget>("tbsLogTabs")->currentIndex(), 2);
  EXPECT_EQ(Widget<QGroupBox>("fraPlayerList")->title(), "Player List (3 players) ");
  EXPECT_EQ(Widget<QListWidget>("lstPlayersOnline")->currentRow(), 2);

  // Shrinking, replacing and emptying lists; an option pair read back from the record.
  controls_.SetRows("lstPlayersOnline", {"Aurel Vantis", "Ilse Brandt"});
  EXPECT_EQ(Widget<QListWidget>("lstPlayersOnline")->count(), 2);
  EXPECT_EQ(Widget<QListWidget>("lstPlayersOnline")->item(1)->text(), "Ilse Brandt");
  EXPECT_EQ(Widget<QListWidget>("lstPlayersOnline")->currentRow(), -1);
  controls_.ClearRows("lstServerActivityLog");
  EXPECT_EQ(log->count(), 0);
  settings_.optRegionalDateSetting = -1;
  controls_.NotifyAll();
  EXPECT_FALSE(Widget<QRadioButton>("optRegionalDateSetting_0")->isChecked());
  EXPECT_FALSE(Widget<QRadioButton>("optRegionalDateSetting_1")->isChecked());

  EXPECT_TRUE(fired_.empty()) << fired_.begin()->first;
}

TEST_F(QtViewTest, TheChatBoxTakesNoMoreThanQVAdminDoes) {
  auto* chat = Widget<QLineEdit>("txtChatText");
  EXPECT_EQ(chat->maxLength(), kChatTextMaxLength);
  QTest::keyClicks(chat, QString(kChatTextMaxLength + 10, QChar('w')));
  EXPECT_EQ(controls_.Get("txtChatText").text(), std::string(kChatTextMaxLength, 'w'));
}

TEST_F(QtViewTest, AListOnScreenTakesItsSelectionOncePerPassOfTheEventLoop) {
  CountEvents("lstServerActivityLog", ControlEvent::kClick, "click");
  form_.tabs()->setCurrentIndex(6);  // "Logs"
  controls_.Select("tbsLogTabs", 1);
  auto* log = Widget<QListWidget>("lstServerActivityLog");
  ASSERT_TRUE(log->isVisible());
  for (int i = 0; i < 50; ++i) {
    controls_.AddRow("lstServerActivityLog", "line " + std::to_string(i));
    controls_.Select("lstServerActivityLog", i);
  }
  EXPECT_EQ(log->count(), 50);
  EXPECT_EQ(log->currentRow(), -1);  // not yet: nothing has been painted meanwhile
  QApplication::processEvents();
  EXPECT_EQ(log->currentRow(), 49);

  // A repaint shows the selection at once.
  QtFrontend frontend(&form_, binding_.get());
  controls_.Select("lstServerActivityLog", 7);
  frontend.Repaint("lstServerActivityLog");
  EXPECT_EQ(log->currentRow(), 7);
  EXPECT_TRUE(fired_.empty());
}

TEST_F(QtViewTest, OperatorInputReachesTheRecordBeforeTheHandlerRuns) {
  std::vector<std::string> seen;
  controls_.On("txtTimedBanner_3", ControlEvent::kChange,
               [&] { seen.push_back(settings_.txtTimedBanner[3]); });
  Type(Widget<QLineEdit>("txtTimedBanner_3"), QString::fromUtf8("Grüße €5 Ж"));
  // Cyrillic is not in the code page: the record holds '?' and the box shows it.
  EXPECT_EQ(settings_.txtTimedBanner[3],
            "Gr\xFC\xDF"
            "e \x80"
            "5 ?");
  EXPECT_EQ(Widget<QLineEdit>("txtTimedBanner_3")->text(), QString::fromUtf8("Grüße €5 ?"));
  ASSERT_EQ(seen.size(), 10u);
  EXPECT_EQ(seen[0], "G");
  EXPECT_EQ(seen[9], settings_.txtTimedBanner[3]);

  CountEvents("chkClearChatAfterSend", ControlEvent::kClick, "click");
  auto* check = Widget<QCheckBox>("chkClearChatAfterSend");
  // On the box itself: a check box stretched by its layout ignores clicks right of its text.
  QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
  EXPECT_EQ(settings_.chkClearChatAfterSend, 1);

  CountEvents("optRegionalTimeSetting_1", ControlEvent::kClick, "click");
  CountEvents("optRegionalTimeSetting_0", ControlEvent::kClick, "click");
  QTest::mouseClick(Widget<QRadioButton>("optRegionalTimeSetting_1"), Qt::LeftButton);
  EXPECT_EQ(settings_.optRegionalTimeSetting, 1);
  EXPECT_FALSE(Widget<QRadioButton>("optRegionalTimeSetting_0")->isChecked());

  CountEvents("vscAutoUpdateInterval", ControlEvent::kChange, "change");
  Widget<QScrollBar>("vscAutoUpdateInterval")->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(settings_.vscAutoUpdateInterval, 6);

  CountEvents("cmbDailyBannerDay_0", ControlEvent::kChange, "change");
  form_.tabs()->setCurrentIndex(3);  // "Banners"
  Widget<QComboBox>("cmbDailyBannerDay_0")->setFocus();
  QTest::keyClick(Widget<QComboBox>("cmbDailyBannerDay_0"), Qt::Key_Down);
  EXPECT_GE(settings_.cmbDailyBannerDay[0], 0);
  EXPECT_EQ(settings_.cmbDailyBannerDay[0],
            Widget<QComboBox>("cmbDailyBannerDay_0")->currentIndex());

  CountEvents("tbsLogTabs", ControlEvent::kChange, "change");
  Widget<QTabWidget>("tbsLogTabs")->setCurrentIndex(1);
  EXPECT_EQ(controls_.Get("tbsLogTabs").selected(), 1);

  EXPECT_EQ(fired_, (std::map<std::string, int>{{"chkClearChatAfterSend click", 1},
                                                {"cmbDailyBannerDay_0 change", 1},
                                                {"optRegionalTimeSetting_1 click", 1},
                                                {"tbsLogTabs change", 1},
                                                {"vscAutoUpdateInterval change", 1}}));
}

TEST_F(QtViewTest, ListClicksSelectTheRowAndAHandlerRoundTripShowsItsResult) {
  form_.tabs()->setCurrentIndex(1);  // "Players"
  controls_.SetRows("lstPlayers", {"Aurel Vantis", "Mira Solbeck", "Tomo Quell"});
  controls_.On("lstPlayers", ControlEvent::kClick, [&] {
    const Control& list = controls_.Get("lstPlayers");
    controls_.SetText("lblPlayerName", list.rows()[list.selected()]);
    controls_.SetEnabled("cmdBanToggle", true);
  });
  CountEvents("lstPlayers", ControlEvent::kDoubleClick, "double");

  auto* list = Widget<QListWidget>("lstPlayers");
  const QPoint row1 = list->visualItemRect(list->item(1)).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row1);
  EXPECT_EQ(controls_.Get("lstPlayers").selected(), 1);
  EXPECT_EQ(Widget<QLabel>("lblPlayerName")->text(), "Mira Solbeck");
  EXPECT_TRUE(Widget<QPushButton>("cmdBanToggle")->isEnabled());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row1);
  EXPECT_EQ(fired_["lstPlayers double"], 1);
}

// The row the window highlights is the row the model holds, both ways: a list's old
// highlight stayed on screen while a new selection waited for the next pass; the row a list
// made current when Tab brought the focus in was reported as chosen without a highlight, and
// a highlight taken away by Ctrl+click left the row chosen.
TEST_F(QtViewTest, TheWindowHighlightsARowExactlyWhileTheModelHoldsIt) {
  form_.tabs()->setCurrentIndex(2);  // "Bans"
  controls_.SetRows("lstBannedPlayers", {"Aurel Vantis", "Mira Solbeck", "Tomo Quell"});
  CountEvents("lstBannedPlayers", ControlEvent::kClick, "click");
  auto* list = Widget<QListWidget>("lstBannedPlayers");
  ASSERT_TRUE(list->isVisible());
  auto highlighted = [list] {
    const QList<QListWidgetItem*> items = list->selectedItems();
    return items.size() == 1 ? list->row(items.front()) : -static_cast<int>(items.size()) - 1;
  };
  auto centre = [list](int row) { return list->visualItemRect(list->item(row)).center(); };
  const Control& model = controls_.Get("lstBannedPlayers");

  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre(1));
  EXPECT_EQ(model.selected(), 1);
  EXPECT_EQ(highlighted(), 1);
  controls_.Select("lstBannedPlayers", 2);
  EXPECT_EQ(highlighted(), -1);  // the new one waits for the next pass, the old one is gone
  QApplication::processEvents();
  EXPECT_EQ(highlighted(), 2);

  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, centre(2));
  EXPECT_EQ(highlighted(), -1);
  EXPECT_EQ(model.selected(), -1);

  controls_.SetRows("lstBannedPlayers", {"Ilse Brandt", "Aurel Vantis"});
  form_.activateWindow();
  QApplication::setActiveWindow(&form_);
  Widget<QLineEdit>("txtBannedPlayerListFilter")->setFocus();
  QTest::keyClick(Widget<QLineEdit>("txtBannedPlayerListFilter"), Qt::Key_Backtab);
  QApplication::processEvents();
  ASSERT_TRUE(list->hasFocus()) << QApplication::focusWidget()->objectName().toStdString();
  EXPECT_EQ(list->currentRow(), 0);
  EXPECT_EQ(highlighted(), -1);
  EXPECT_EQ(model.selected(), -1);
  controls_.Select("lstBannedPlayers", 0);  // the current row, now chosen by the model
  QApplication::processEvents();
  EXPECT_EQ(highlighted(), 0);
  EXPECT_EQ(fired_, (std::map<std::string, int>{{"lstBannedPlayers click", 2}}));
}

TEST_F(QtViewTest, ALongLogLineCanBeReadInFullAndLinesCopied) {
  form_.tabs()->setCurrentIndex(6);  // "Logs"
  controls_.Select("tbsLogTabs", 1);
  const std::string crash =
      "12/10/2026 10:00:00 PM: QVServer.exe was not running. Restarting it... players online "
      "at the crash: Aurel Vantis, Mira Solbeck, Tomo Quell, Ilse Brandt, Kessa Vorn, Orin "
      "Hale, Brannock Tey, Sela Imberwick, Dov Castellane, Yara Quint, Fennick Oduya";
  controls_.AddRow("lstServerActivityLog", "12/10/2026 9:59:00 PM: QVServer.exe started");
  controls_.AddRow("lstServerActivityLog", crash);
  controls_.AddRow("lstServerActivityLog", "12/10/2026 10:00:05 PM: QVServer.exe started");
  QApplication::processEvents();
  auto* list = Widget<QListWidget>("lstServerActivityLog");
  ASSERT_TRUE(list->isVisible());
  ASSERT_GT(list->fontMetrics().horizontalAdvance(ToQt(crash)), list->viewport()->width());

  const QPoint at = list->visualItemRect(list->item(1)).center();
  QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
  QApplication::sendEvent(list->viewport(), &help);
  EXPECT_EQ(QToolTip::text(), ToQt(crash));

  list->clearSelection();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(2)).center());
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, at);
  auto* copy = list->findChild<QAction*>("actCopyLines");
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(list->actions().contains(copy));  // in the context menu
  EXPECT_EQ(copy->shortcut(), QKeySequence(QKeySequence::Copy));
  copy->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(),
            ToQt(crash) + "\n" + "12/10/2026 10:00:05 PM: QVServer.exe started\n");
}

TEST_F(QtViewTest, AHandlerThatRewritesItsOwnControlIsNotRunAgain) {
  // The filter box's handler resets the box, as "Display only ..." does when cleared.
  int runs = 0;
  controls_.On("txtPlayerListFilter", ControlEvent::kChange, [&] {
    ++runs;
    controls_.SetText("txtPlayerListFilter", "1");
    controls_.SetText("txtPlayerListFilter", "");
  });
  controls_.On("cmdToggleServer", ControlEvent::kClick, [&] {
    controls_.SetText("cmdToggleServer", "Stop Server");
    controls_.SetEnabled("cmdSend", true);
  });
  QTest::keyClicks(Widget<QLineEdit>("txtPlayerListFilter"), "a");
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(Widget<QLineEdit>("txtPlayerListFilter")->text(), "");
  QTest::mouseClick(Widget<QPushButton>("cmdToggleServer"), Qt::LeftButton);
  EXPECT_EQ(Widget<QPushButton>("cmdToggleServer")->text(), "Stop Server");
  EXPECT_TRUE(Widget<QPushButton>("cmdSend")->isEnabled());
}

TEST_F(QtViewTest, TheTimerControlRunsAQTimerThatFiresItsEvent) {
  QTimer* timer = binding_->TimerOf("tmrMainEventTimer");
  ASSERT_NE(timer, nullptr);
  EXPECT_FALSE(timer->isActive());
  int ticks = 0;
  controls_.On("tmrMainEventTimer", ControlEvent::kTimer, [&] {
    ++ticks;
    // The tick disables the timer while it works and enables it again.
    controls_.SetEnabled("tmrMainEventTimer", false);
    EXPECT_FALSE(timer->isActive());
    controls_.SetEnabled("tmrMainEventTimer", true);
  });
  controls_.SetEnabled("tmrMainEventTimer", true);
  ASSERT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), 1000);

  QTimerEvent expired(timer->timerId());
  QCoreApplication::sendEvent(timer, &expired);
  EXPECT_EQ(ticks, 1);
  EXPECT_TRUE(timer->isActive());

  controls_.SetValue("tmrMainEventTimer", 250);
  EXPECT_EQ(timer->interval(), 250);
  controls_.SetEnabled("tmrMainEventTimer", false);
  EXPECT_FALSE(timer->isActive());
  controls_.SetValue("tmrMainEventTimer", 0);  // no interval: stays off when enabled
  controls_.SetEnabled("tmrMainEventTimer", true);
  EXPECT_FALSE(timer->isActive());
}

TEST_F(QtViewTest, FrontendAsksWithTitleAndTextAndRepaints) {
  QtFrontend frontend(&form_, binding_.get());
  QString title, text;
  auto answer = [&](QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [&, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      title = box->windowTitle();
      text = box->text();
      box->button(button)->click();
    });
  };
  answer(QMessageBox::Ok);
  EXPECT_TRUE(frontend.AskOkCancel("Log Erase Notification", "Clear HELM Error Log?"));
  EXPECT_EQ(title, "Log Erase Notification");
  EXPECT_EQ(text, "Clear HELM Error Log?");
  answer(QMessageBox::Cancel);
  EXPECT_FALSE(frontend.AskOkCancel("Log Erase Notification", "Clear \x80 log?"));
  EXPECT_EQ(text, QString::fromUtf8("Clear € log?"));
  answer(QMessageBox::Ok);
  frontend.ShowMessage("Helmsman", "Done.");
  EXPECT_EQ(text, "Done.");

  controls_.SetText("lblStatus", "Saving Server log to file...");
  frontend.Repaint("lblStatus");
  frontend.Repaint("no such control");  // nothing to repaint, no failure
  EXPECT_EQ(Widget<QLabel>("lblStatus")->text(), "Saving Server log to file...");
}

// The widgets Tab visits from cmdToggleServer until it comes back, as the focus chain holds
// them (disabled ones included: they are skipped only while disabled).
QStringList TabChain(QWidget* window) {
  QStringList names;
  auto* start = window->findChild<QWidget*>("cmdToggleServer");
  QWidget* w = start;
  do {
    if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty() &&
        !w->objectName().startsWith("qt_")) {
      names << w->objectName();
    }
    w = w->nextInFocusChain();
  } while (w != start);
  return names;
}

TEST_F(QtViewTest, TabFollowsTheLayoutAndEndsInTheFolderBrowser) {
  form_.tabs()->setCurrentIndex(0);
  QApplication::processEvents();
  EXPECT_EQ(TabChain(&form_).join(",").toStdString(),
            "cmdToggleServer,cmdVersionInformation,SSTab1,lstPlayersOnline,lstPlayersOnlineRank,"
            "lstPlayersOnlineSystems,cmdKickPlayer,cmdKickAndBan,cmdKickAllInSystem,cmdViewInfo,"
            "cmdUpdatePlayersOnline,chkAutoUpdatePlayersOnline,vscAutoUpdateInterval,"
            "chkFineKickedPlayers,txtKickedPlayersFine,chkSendKickedPlayersToBase,"
            "cmbAvailableBases,chkEnableKickChatNotice,txtKickMessagePart2,txtChatText,cmdSend,"
            "chkClearChatAfterSend,Dir1,File1");
  form_.tabs()->setCurrentIndex(1);
  QApplication::processEvents();
  EXPECT_EQ(TabChain(&form_).join(",").toStdString(),
            "cmdToggleServer,cmdVersionInformation,SSTab1,lstPlayers,txtPlayerListFilter,"
            "chkDisplayOnlyNamesForThisPlayer,cmdRegeneratePlayerList,"
            "cmdUpdateAllPlayerInformation,cmdDeletePlayer,lstPlayerGuns,lstPlayerJournal,"
            "cmdBanToggle,"
            "cmdUpdatePlayerInfo,cmdEditPlayer,cmdViewPlayer,Dir1,File1");
}

// The header's "Rank" stands over the rank list, whatever the font makes of the blanks.
TEST_F(QtViewTest, TheOnlineHeaderNamesEachListAboveIt) {
  form_.tabs()->setCurrentIndex(0);
  QApplication::processEvents();
  auto* header = Widget<QLabel>("lblPlayersOnlineHeader");
  auto* ranks = Widget<QListWidget>("lstPlayersOnlineRank");
  const QString text = header->text();
  const int rank_x = header->mapTo(&form_, QPoint(0, 0)).x() +
                     header->fontMetrics().horizontalAdvance(text.left(text.lastIndexOf(' ') + 1));
  EXPECT_NEAR(rank_x, ranks->mapTo(&form_, QPoint(0, 0)).x(), 3);
}

// The form's own size (frm_main.ui) holds every tab: a page wider or taller than that would
// make the window grow beyond it, off small screens.
TEST_F(QtViewTest, EveryTabFitsTheWindowsDefaultSize) {
  MainWindowForm fresh;
  const QSize designed = fresh.size();
  EXPECT_EQ(designed, QSize(1180, 760));
  EXPECT_LE(fresh.minimumSizeHint().width(), designed.width());
  EXPECT_LE(fresh.minimumSizeHint().height(), designed.height());
}

TEST_F(QtViewTest, EnterInATextBoxFiresItsEnterEvent) {
  CountEvents("txtChatText", ControlEvent::kEnter, "enter");
  CountEvents("txtChatText", ControlEvent::kChange, "change");
  auto* chat = Widget<QLineEdit>("txtChatText");
  QTest::keyClicks(chat, "hi");
  QTest::keyClick(chat, Qt::Key_Return);
  QTest::keyClick(chat, Qt::Key_Enter);  // the keypad's
  EXPECT_EQ(fired_,
            (std::map<std::string, int>{{"txtChatText change", 2}, {"txtChatText enter", 2}}));
}

// With HELMSMAN_SCREENSHOT set, the dialog is saved as window_version.png.
TEST_F(QtViewTest, TheVersionWindowShowsItsLinesAsSelectableText) {
  QtFrontend frontend(&form_, binding_.get());
  QString title, text;
  bool selectable = false;
  const QString shot = qEnvironmentVariable("HELMSMAN_SCREENSHOT");
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    title = dialog->windowTitle();
    auto* label = dialog->findChild<QLabel*>("lblVersionInformation");
    ASSERT_NE(label, nullptr);
    text = label->text();
    selectable = label->textInteractionFlags().testFlag(Qt::TextSelectableByMouse);
    if (!shot.isEmpty()) {
      QApplication::processEvents();
      dialog->grab().save((shot.endsWith(".png") ? shot.chopped(4) : shot) + "_version.png");
    }
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close)->click();
  });
  frontend.ShowVersionWindow("Helmsman -- Version Information",
                             {"Helmsman mk.V, version 0.1", "Window toolkit: Qt 6.4.2",
                              "QVCodec.dll: loaded from /opt/helmsman/libqvcodec.so",
                              "    48,112 bytes, build id 5f0c9e2a"});
  EXPECT_EQ(title, "Helmsman -- Version Information");
  EXPECT_EQ(text,
            "Helmsman mk.V, version 0.1\nWindow toolkit: Qt 6.4.2\n"
            "QVCodec.dll: loaded from /opt/helmsman/libqvcodec.so\n"
            "    48,112 bytes, build id 5f0c9e2a");
  EXPECT_TRUE(selectable);
}

// With HELMSMAN_SCREENSHOT set, the dialog is saved as window_question_list.png.
TEST_F(QtViewTest, AQuestionWithAListShowsTheTableWithTheCountAndTheQuestion) {
  QtFrontend frontend(&form_, binding_.get());
  const QString shot = qEnvironmentVariable("HELMSMAN_SCREENSHOT");
  QuestionList list{"3 characters and 1 folder would be removed",
                    {"Character", "Account folder", "Rule", "Value"},
                    {{"Orin Vael", "orin01", "inactive", "48 days"},
                     {"Sela Brin", "sela_b", "inactive", "112 days"},
                     {"Zo\xEB Kett", "zoek", "uninterested", "NEW PLAYER"},
                     {"", "drift7", "empty folder", "name file"}}};
  struct Seen {
    QString title, summary, question, header, cell;
    int rows = 0;
  } seen;
  auto answer = [&](QDialogButtonBox::StandardButton button, bool save) {
    QTimer::singleShot(0, [&, button, save] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      auto* buttons = dialog->findChild<QDialogButtonBox*>();
      auto* summary = dialog->findChild<QLabel*>("lblQuestionListSummary");
      auto* question = dialog->findChild<QLabel*>("lblQuestionListText");
      auto* table = dialog->findChild<QTableView*>("tblQuestionList");
      if (buttons == nullptr || summary == nullptr || question == nullptr || table == nullptr) {
        dialog->reject();
        FAIL() << "not the dialog with the list";
      }
      seen.title = dialog->windowTitle();
      seen.summary = summary->text();
      seen.question = question->text();
      seen.rows = table->model()->rowCount();
      seen.header = table->model()->headerData(1, Qt::Horizontal).toString();
      seen.cell = table->model()->index(2, 0).data().toString();
      if (save && !shot.isEmpty()) {
        QApplication::processEvents();
        dialog->grab().save((shot.endsWith(".png") ? shot.chopped(4) : shot) +
                            "_question_list.png");
      }
      buttons->button(button)->click();
    });
  };
  answer(QDialogButtonBox::Ok, true);
  EXPECT_TRUE(frontend.AskOkCancelWithList("Delete Players Confirmation", "DELETE players?", list));
  EXPECT_EQ(seen.title, "Delete Players Confirmation");
  EXPECT_EQ(seen.summary, "3 characters and 1 folder would be removed");
  EXPECT_EQ(seen.question, "DELETE players?");
  EXPECT_EQ(seen.rows, 4);
  EXPECT_EQ(seen.header, "Account folder");
  EXPECT_EQ(seen.cell, QString::fromUtf8("Zoë Kett"));

  // A large universe's list opens as one model, and Cancel says no.
  list.rows.resize(20000, {"Pilot", "acct", "inactive", "30 days"});
  answer(QDialogButtonBox::Cancel, false);
  EXPECT_FALSE(frontend.AskOkCancelWithList("Delete Players Confirmation", "DELETE?", list));
  EXPECT_EQ(seen.rows, 20000);
}

TEST(QtFileFilterTest, BarSeparatedPairsBecomeQtFilters) {
  const std::pair<const char*, const char*> kRows[] = {
      {"Logfile (*.log)|*.log", "Logfile (*.log)"},
      {"Executable|*.exe", "Executable (*.exe)"},
      {"Pages (*.htm;*.html)|*.htm;*.html|All Files|*.*",
       "Pages (*.htm;*.html) (*.htm *.html);;All Files (*.*)"},
      {"Config|QVServer.cfg", "Config (QVServer.cfg)"},
      {"", ""},
  };
  for (const auto& [filter, expected] : kRows) EXPECT_EQ(QtFileFilter(filter), expected) << filter;
}

// Not a check: a picture of every tab for a person to look at.
TEST_F(QtViewTest, SavesScreenshotsWhenAsked) {
  const QString path = qEnvironmentVariable("HELMSMAN_SCREENSHOT");
  if (path.isEmpty()) GTEST_SKIP() << "HELMSMAN_SCREENSHOT not set";
  controls_.SetText("cmdToggleServer", "Stop Server");
  for (const std::string& name : ServerDependentControls()) controls_.SetEnabled(name, true);
  controls_.SetText("lblStatus", "Good to go");
  controls_.SetText("lblProgramRunTime", "Program running for 3 hours.");
  controls_.SetRows("lstPlayersOnline", {"Aurel Vantis", "Mira Solbeck", "Tomo Quell"});
  controls_.SetRows("lstPlayersOnlineRank", {"12", "7", "31"});
  controls_.SetRows("lstPlayersOnlineSystems", {"Kessary Reach", "Ondra Vale", "Halcyon Drift"});
  controls_.SetText("lblAutoUpdateTimeLeft", "Next update in 4 seconds");
  controls_.SetRows("Dir1", {"aurel01", "mira_s", "tomoq"});
  controls_.SetRows("File1", {"Aurel Vantis.qv", "Aurel Alt.qv"});
  controls_.SetRows("lstPlayers",
                    {"Aurel Alt", "Aurel Vantis", "Ilse Brandt", "Mira Solbeck", "Tomo Quell"});
  controls_.SetText("fraPlayerList", "Player List (5 players) ");
  controls_.Select("lstPlayers", 1);
  const std::pair<const char*, const char*> summary[] = {
      {"lblPlayerName", "Aurel Vantis"},
      {"lblPlayerRank", "12"},
      {"lblPlayerMoney", "48250"},
      {"lblPlayerLocation", "Tessary Ring Station, Tessary"},
      {"lblPlayerKills", "37"},
      {"lblPlayerTimePlayed", "14 hrs 6 mins"},
      {"lblPlayerLastOnline", "9/29/2024 11:42:10 PM"},
      {"lblPlayerShip", "Wren Skiff"},
      {"lblPlayerShield", "Aegis Field"},
      {"lblPlayerGenerator", "Helion Core"},
      {"lblPlayerCreated", "3/14/2024 9:12:44 PM"},
      {"lblPlayerLastUpdate", "9/30/2024 1:19:55 AM"}};
  for (const auto& [label, text] : summary) controls_.SetText(label, text);
  controls_.SetRows("lstPlayerGuns", {"Ion Lance", "Ion Lance", "Tern Missile Rack"});
  controls_.SetRows("lstPlayerJournal",
                    {"2026-03-07 09:00:00 kick by rule:name filter",
                     "2026-03-06 10:00:00 fine by operator: credits=500",
                     "2026-02-28 21:14:03 edit by operator: field=money, from=1200, to=48250"});
  for (const char* button : {"cmdBanToggle", "cmdUpdatePlayerInfo", "cmdEditPlayer",
                             "cmdViewPlayer", "cmdDeletePlayer"}) {
    controls_.SetEnabled(button, true);
  }
  controls_.SetRows("lstBannedPlayers", {"Drael Moss", "Vesk Orlo"});
  controls_.SetText("fraBannedPlayers", "Banned Players (2 players)");
  controls_.Select("lstBannedPlayers", 0);
  controls_.SetText("lblPlayerBannedUntil", "Banned until 10/2/2024 6PM");
  controls_.SetText("txtBanReason", "Ship capacity exceeded");
  controls_.Select("cmbBanUntilTime", 18);
  controls_.SetText("txtTimedBanner_0", "Welcome to the Tessary frontier. Be kind to new pilots.");
  controls_.SetText("txtTimedBanner_1", "Maintenance runs every night at 4AM server time.");
  controls_.SetText("txtDailyBanner_0", "Friday race night: meet at Vell Foundry.");
  controls_.Select("cmbDailyBannerDay_0", 5);
  controls_.Select("cmbDailyBannerTime_0", 20);
  controls_.SetText("lblTimeToNextTimedBanner", "Next banner in 1412 seconds");
  controls_.SetRows("lstNameScanFilters", {"admin", "moderator"});
  controls_.SetRows("cmdAllEquippableEquipment", {"Ion Lance", "Gravlock Turret"});
  controls_.SetRows("lstEquipmentScanFilters", {"Gravlock Turret"});
  controls_.SetRows("cmbAvailableBases", {"Tessary Ring Station", "Vell Foundry"});
  controls_.Select("cmbAvailableBases", 0);
  controls_.SetText("txtKickedPlayersFine", "500");
  controls_.SetText("txtChatText", "Server restart in 10 minutes");
  controls_.SetEnabled("cmdSend", true);
  controls_.SetValue("prgProgress", 40);
  controls_.AddRow("lstPlayerActivityLog", "9/30/2024 1:20:31 AM: Aurel Vantis joined the server");
  controls_.AddRow("lstHELMErrorLog",
                   "9/30/2024 1:21:07 AM: Unable to find ship [SHP9999999], was it added to "
                   "GAMEDATA_ships.txt?");
  controls_.AddRow("lstServerActivityLog", "9/30/2024 1:19:48 AM: QVServer.exe started");
  controls_.AddRow("lstServerActivityLog",
                   "9/30/2024 1:20:02 AM: Message [Welcome, pilots] broadcast to universe");
  controls_.Select("tbsLogTabs", 1);
  const QString stem = path.endsWith(".png") ? path.chopped(4) : path;
  auto save = [&](const QString& suffix) {
    QApplication::processEvents();
    const QString file = stem + suffix + ".png";
    EXPECT_TRUE(form_.grab().save(file)) << file.toStdString();
  };
  for (int i = 0; i < form_.tabs()->count(); ++i) {
    form_.tabs()->setCurrentIndex(i);
    save(i == 0 ? "" : "_" + QString::number(i));
    // The later pages of the inner tabs ("Daily Banners", "Maintenance" ...).
    for (auto* inner : form_.tabs()->widget(i)->findChildren<QTabWidget*>()) {
      for (int j = 1; j < inner->count(); ++j) {
        inner->setCurrentIndex(j);
        save("_" + QString::number(i) + "_" + QString::number(j));
      }
      inner->setCurrentIndex(0);
    }
  }
}

}  // namespace
}  // namespace helmsman::ui::qt
