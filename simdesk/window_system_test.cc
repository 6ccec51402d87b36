#include "simdesk/window_system.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace helmsman::simdesk {
namespace {

class WindowSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desk_.Reset();
    desk_.timeline().UseVirtualTime(1'000'000'000'000);
    app_ = desk_.CreateApp();
    main_ = desk_.CreateTopLevel(app_, "Main", "MainClass");
    dialog_ = desk_.CreateDialog(app_, main_, "Dialog");
  }
  void TearDown() override { desk_.Reset(); }

  SendReply SendText(Handle window, uint32_t message, uint64_t wparam, const std::string& text) {
    SendRequest request;
    request.message = {window, message, wparam, 0};
    request.has_text_in = true;
    request.text_in = text;
    return desk_.SendMessage(request);
  }
  SendReply ReadText(Handle window, uint32_t message, uint64_t wparam, uint32_t capacity) {
    SendRequest request;
    request.message = {window, message, wparam, 0};
    request.text_out_capacity = capacity;
    return desk_.SendMessage(request);
  }

  WindowSystem& desk_ = WindowSystem::Local();
  AppId app_ = 0;
  Handle main_ = 0;
  Handle dialog_ = 0;
};

TEST_F(WindowSystemTest, WindowTextIsCutToTheSendersCapacity) {
  Handle edit = desk_.AddControl(dialog_, ControlKind::kRichEdit, "", 300);
  EXPECT_EQ(SendText(edit, WM_SETTEXT, 0, "hello world").result, 1);
  struct Case {
    uint64_t wparam;
    uint32_t capacity;
    std::string text;
  };
  for (const Case& c :
       {Case{512, 512, "hello world"}, Case{6, 6, "hello"}, Case{512, 4, "hel"}, Case{1, 1, ""}}) {
    SendReply reply = ReadText(edit, WM_GETTEXT, c.wparam, c.capacity);
    EXPECT_TRUE(reply.ok);
    EXPECT_EQ(reply.text_out, c.text) << c.wparam << "/" << c.capacity;
    EXPECT_EQ(reply.result, static_cast<int64_t>(c.text.size()));
  }
  EXPECT_EQ(desk_.Send(edit, WM_GETTEXTLENGTH, 0, 0), 11);
}

TEST_F(WindowSystemTest, ListBoxAnswersTheListMessages) {
  Handle list = desk_.AddControl(dialog_, ControlKind::kListBox, "", 100);
  EXPECT_EQ(SendText(list, LB_ADDSTRING, 0, "alpha").result, 0);
  EXPECT_EQ(SendText(list, LB_ADDSTRING, 0, "beta").result, 1);
  EXPECT_EQ(desk_.Send(list, LB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(desk_.Send(list, LB_GETTEXTLEN, 1, 0), 4);
  EXPECT_EQ(desk_.Send(list, LB_GETTEXTLEN, 2, 0), LB_ERR);
  EXPECT_EQ(ReadText(list, LB_GETTEXT, 1, 512).text_out, "beta");
  EXPECT_EQ(ReadText(list, LB_GETTEXT, 5, 512).result, LB_ERR);
  EXPECT_EQ(desk_.Send(list, LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(desk_.Send(list, LB_SETCURSEL, 1, 0), 1);
  EXPECT_EQ(desk_.Send(list, LB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(desk_.Send(list, LB_SETCURSEL, 7, 0), LB_ERR);
  EXPECT_EQ(desk_.CurSelOf(list), -1);
  EXPECT_EQ(desk_.Send(list, LB_DELETESTRING, 0, 0), 1);
  EXPECT_EQ(desk_.RowsOf(list), std::vector<std::string>{"beta"});
  desk_.Send(list, LB_RESETCONTENT, 0, 0);
  EXPECT_EQ(desk_.Send(list, LB_GETCOUNT, 0, 0), 0);
}

TEST_F(WindowSystemTest, ARowLongerThanTheSendersBufferIsNotReturnedAtAll) {
  Handle list = desk_.AddControl(dialog_, ControlKind::kListBox, "", 100);
  desk_.SetRows(list, {std::string(511, 'x'), std::string(512, 'y')});
  SendReply fits = ReadText(list, LB_GETTEXT, 0, 512);
  EXPECT_TRUE(fits.ok);
  EXPECT_EQ(fits.text_out.size(), 511u);
  SendReply too_long = ReadText(list, LB_GETTEXT, 1, 512);
  EXPECT_FALSE(too_long.ok);
  EXPECT_TRUE(too_long.text_out.empty());
}

TEST_F(WindowSystemTest, ButtonsNotifyTheirDialogAndCheckBoxesKeepTheirState) {
  Handle button = desk_.AddControl(dialog_, ControlKind::kButton, "Press", 7);
  Handle box = desk_.AddControl(dialog_, ControlKind::kCheckBox, "banned", 8);
  std::vector<std::pair<uint64_t, int64_t>> commands;
  desk_.SetWindowProc(dialog_, [&](const Call& call) -> std::optional<int64_t> {
    if (call.message == WM_COMMAND) commands.push_back({call.wparam, call.lparam});
    return std::nullopt;
  });
  desk_.Send(button, BM_CLICK, 0, 0);
  desk_.Send(box, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(desk_.Send(box, BM_GETCHECK, 0, 0), 1);
  desk_.Send(box, BM_CLICK, 0, 0);
  EXPECT_FALSE(desk_.IsChecked(box));
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0], std::make_pair(MakeWParam(7, BN_CLICKED), static_cast<int64_t>(button)));
  EXPECT_EQ(commands[1], std::make_pair(MakeWParam(8, BN_CLICKED), static_cast<int64_t>(box)));
  EXPECT_EQ(desk_.GetClassName(box), "Button");
}

TEST_F(WindowSystemTest, TabOrderSkipsControlsWithoutTabStopAndCycles) {
  Handle first = desk_.AddControl(dialog_, ControlKind::kEdit, "", 50);
  Handle label = desk_.AddControl(dialog_, ControlKind::kStatic, "label", -1, false);
  Handle list = desk_.AddControl(dialog_, ControlKind::kListBox, "", 100);
  Handle ok = desk_.AddControl(dialog_, ControlKind::kButton, "OK", IDOK);
  EXPECT_EQ(desk_.GetNextDlgTabItem(dialog_, 0), first);
  EXPECT_EQ(desk_.GetNextDlgTabItem(dialog_, first), list);
  EXPECT_EQ(desk_.GetNextDlgTabItem(dialog_, list), ok);
  EXPECT_EQ(desk_.GetNextDlgTabItem(dialog_, ok), first);
  EXPECT_EQ(desk_.GetNextDlgTabItem(dialog_, label), list);
  EXPECT_EQ(desk_.GetNextDlgTabItem(dialog_, main_), 0u);  // not a control of the dialog
  EXPECT_EQ(desk_.GetDlgItem(dialog_, IDOK), ok);
  EXPECT_EQ(desk_.GetDlgCtrlID(list), 100);
  EXPECT_EQ(desk_.GetDlgCtrlID(dialog_), 0);
  Handle empty = desk_.CreateDialog(app_, main_, "Empty");
  EXPECT_EQ(desk_.GetNextDlgTabItem(empty, 0), 0u);
}

TEST_F(WindowSystemTest, MenusGiveDropDownsAndCommandIds) {
  Handle bar = desk_.SetMenuBar(main_, {{"File", {{"Open", 10}, {"Exit", 11}}}, {"Help", {}}});
  EXPECT_EQ(desk_.GetMenu(main_), bar);
  EXPECT_EQ(desk_.GetMenuItemCount(bar), 2);
  Handle file = desk_.GetSubMenu(bar, 0);
  EXPECT_EQ(desk_.GetMenuItemCount(file), 2);
  EXPECT_EQ(desk_.GetMenuItemId(file, 1), 11u);
  EXPECT_EQ(desk_.GetMenuItemId(file, 2), std::nullopt);
  EXPECT_EQ(desk_.GetMenuItemId(bar, 0), std::nullopt);  // opens a drop-down
  EXPECT_EQ(desk_.GetSubMenu(bar, 5), 0u);
  EXPECT_EQ(desk_.GetMenuItemCount(main_), -1);
  desk_.DestroyWindow(main_);
  EXPECT_EQ(desk_.GetMenuItemCount(bar), -1);
}

TEST_F(WindowSystemTest, PostedMessagesRunOnePerIterationOfTheGlibLoop) {
  std::vector<uint64_t> seen;
  desk_.SetWindowProc(main_, [&](const Call& call) -> std::optional<int64_t> {
    EXPECT_TRUE(call.posted);
    seen.push_back(call.wparam);
    return 0;
  });
  ASSERT_TRUE(desk_.PostMessage({main_, WM_COMMAND, 1, 0}));
  ASSERT_TRUE(desk_.PostMessage({main_, WM_COMMAND, 2, 0}));
  EXPECT_TRUE(g_main_context_iteration(nullptr, FALSE));
  EXPECT_EQ(seen, std::vector<uint64_t>{1});
  EXPECT_TRUE(g_main_context_iteration(nullptr, FALSE));
  EXPECT_EQ(seen, (std::vector<uint64_t>{1, 2}));
  EXPECT_FALSE(g_main_context_iteration(nullptr, FALSE));
  EXPECT_FALSE(desk_.PostMessage({0x7FFFF, WM_COMMAND, 3, 0}));
}

TEST_F(WindowSystemTest, QuitEndsTheApplicationAndItsOwnedDialogs) {
  Handle control = desk_.AddControl(dialog_, ControlKind::kButton, "OK", IDOK);
  AppId other = desk_.CreateApp();
  Handle bystander = desk_.CreateTopLevel(other, "Other", "C");
  EXPECT_EQ(desk_.FindTopLevel("Dialog"), dialog_);
  desk_.PostMessage({dialog_, WM_QUIT, 0, 0});
  desk_.PostMessage({main_, WM_COMMAND, 1, 0});  // dropped: its window is gone by then
  while (desk_.DispatchOne()) {
  }
  EXPECT_FALSE(desk_.Exists(main_));
  EXPECT_FALSE(desk_.Exists(dialog_));
  EXPECT_FALSE(desk_.Exists(control));
  EXPECT_FALSE(desk_.AppExists(app_));
  EXPECT_TRUE(desk_.Exists(bystander));
  EXPECT_EQ(desk_.FindTopLevel("Dialog"), 0u);
}

TEST_F(WindowSystemTest, AQuitHandlerReplacesTheDefaultEnding) {
  int quits = 0;
  AppId stubborn = desk_.CreateApp([&] { ++quits; });
  Handle window = desk_.CreateTopLevel(stubborn, "Stubborn", "C");
  desk_.PostMessage({window, WM_QUIT, 0, 0});
  desk_.DispatchOne();
  EXPECT_EQ(quits, 1);
  EXPECT_TRUE(desk_.Exists(window));
}

TEST_F(WindowSystemTest, AHungApplicationTimesOutSendsAndKeepsItsPostedMessages) {
  int handled = 0;
  desk_.SetWindowProc(main_, [&](const Call&) -> std::optional<int64_t> {
    ++handled;
    return 0;
  });
  desk_.SetAppHung(app_, true);
  int64_t before = desk_.timeline().NowMillis();
  SendReply reply = ReadText(main_, WM_GETTEXT, 512, 512);
  EXPECT_FALSE(reply.ok);
  EXPECT_TRUE(reply.timed_out);
  EXPECT_EQ(desk_.timeline().NowMillis() - before, kSendTimeoutMillis);
  desk_.PostMessage({main_, WM_COMMAND, 1, 0});
  EXPECT_FALSE(desk_.HasPendingWork());
  EXPECT_FALSE(desk_.DispatchOne());
  desk_.SetAppHung(app_, false);
  EXPECT_TRUE(desk_.DispatchOne());
  EXPECT_EQ(handled, 1);
}

TEST_F(WindowSystemTest, AProcedureMayDestroyItsOwnWindow) {
  desk_.SetWindowProc(dialog_, [&](const Call& call) -> std::optional<int64_t> {
    if (call.message == WM_COMMAND) desk_.DestroyWindow(call.window);
    return std::nullopt;  // the default handling finds the window gone
  });
  desk_.Send(dialog_, WM_COMMAND, IDOK, 0);
  EXPECT_FALSE(desk_.Exists(dialog_));
  EXPECT_TRUE(desk_.Exists(main_));
}

TEST_F(WindowSystemTest, HandlesCarryTheSlotAndAreNeverReusedAfterAReset) {
  EXPECT_EQ(SlotOf(main_), desk_.slot());
  desk_.Reset();
  AppId app = desk_.CreateApp();
  Handle again = desk_.CreateTopLevel(app, "Main", "MainClass");
  EXPECT_GT(again, dialog_);
  EXPECT_EQ(desk_.FindTopLevel("Main"), again);
}

TEST_F(WindowSystemTest, TimersRunFromTheLoopInVirtualTime) {
  std::vector<int> ran;
  desk_.timeline().Schedule(2000, [&] { ran.push_back(1); });
  EXPECT_FALSE(g_main_context_iteration(nullptr, FALSE));
  desk_.timeline().Advance(2000);
  EXPECT_TRUE(g_main_context_iteration(nullptr, FALSE));
  EXPECT_EQ(ran, std::vector<int>{1});
}

TEST_F(WindowSystemTest, RegisteredProgramsRunInProcess) {
  std::vector<ProgramLaunch> launches;
  desk_.RegisterProgram("/srv/qvserver.exe",
                        [&](const ProgramLaunch& launch) { launches.push_back(launch); });
  EXPECT_FALSE(desk_.RunProgram({"/srv/other", {"other"}, "/srv"}));
  EXPECT_TRUE(desk_.RunProgram({"/srv/qvserver.exe", {"/srv/qvserver.exe", "/c"}, "/srv"}));
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].arguments, (std::vector<std::string>{"/srv/qvserver.exe", "/c"}));
  EXPECT_EQ(launches[0].directory, "/srv");
}

}  // namespace
}  // namespace helmsman::simdesk
