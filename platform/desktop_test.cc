// The POSIX desktop against windows of the in-process simulated desktop, and its routing of
// other processes' handles through the peer directory.
#include "platform/desktop.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "simdesk/socket_desktop.h"
#include "simdesk/window_system.h"

namespace helmsman::platform {
namespace {

using simdesk::ControlKind;
using simdesk::Handle;

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desk_.Reset();
    desk_.timeline().UseVirtualTime(1'000'000'000'000);
    app_ = desk_.CreateApp();
    main_ = desk_.CreateTopLevel(app_, "Server", "ServerClass");
    dialog_ = desk_.CreateDialog(app_, main_, "Dialog");
    list_ = desk_.AddControl(dialog_, ControlKind::kListBox, "", 100);
    button_ = desk_.AddControl(dialog_, ControlKind::kButton, "Kick Account From Server", 7);
  }
  void TearDown() override {
    desk_.Reset();
    simdesk::SetPeerDirectory(nullptr);
  }

  simdesk::WindowSystem& desk_ = simdesk::WindowSystem::Local();
  Desktop& desktop_ = SystemDesktop();
  simdesk::AppId app_ = 0;
  Handle main_ = 0, dialog_ = 0, list_ = 0, button_ = 0;
};

TEST_F(DesktopTest, FindsShowsAndWalksTheLocalWindows) {
  EXPECT_EQ(desktop_.FindTopLevelWindow("Server"), main_);
  EXPECT_EQ(desktop_.FindTopLevelWindow("Dialog"), dialog_);
  EXPECT_EQ(desktop_.FindTopLevelWindow("Kick Account From Server"), 0u);  // a control
  EXPECT_TRUE(desktop_.Show(main_, ShowCommand::kMinimize));
  EXPECT_EQ(desk_.ShowStateOf(main_), simdesk::ShowState::kMinimized);
  EXPECT_TRUE(desktop_.Show(main_, ShowCommand::kNormal));
  EXPECT_EQ(desk_.ShowStateOf(main_), simdesk::ShowState::kNormal);
  EXPECT_EQ(desktop_.NextTabItem(dialog_, 0), list_);
  EXPECT_EQ(desktop_.NextTabItem(dialog_, button_), list_);
  EXPECT_EQ(desktop_.ControlId(button_), 7);
  EXPECT_EQ(desktop_.ControlById(dialog_, 7), button_);
  EXPECT_EQ(desktop_.ClassNameOf(list_, 255), "ListBox");
  EXPECT_EQ(desktop_.ClassNameOf(list_, 5), "List");
  EXPECT_EQ(desktop_.ControlTextById(dialog_, 7, 512), "Kick Account From Server");
  EXPECT_EQ(desktop_.ControlTextById(dialog_, 7, 5), "Kick");
  EXPECT_EQ(desktop_.ControlTextById(dialog_, 8, 512), std::nullopt);
  desk_.DestroyWindow(dialog_);
  EXPECT_FALSE(desktop_.WindowExists(dialog_));
  EXPECT_FALSE(desktop_.WindowExists(0));
}

TEST_F(DesktopTest, TextsTravelExplicitlyAndNeverOverflow) {
  desk_.SetRows(list_, {"0062006F0062", std::string(600, 'x'), std::string("a\0b", 3)});
  EXPECT_EQ(desktop_.ListRowCount(list_), 3);
  std::string text;
  SendResult read = desktop_.SendForText(list_, kLbGetText, 0, 512, &text);
  EXPECT_TRUE(read.ok);
  EXPECT_EQ(read.value, 12);
  EXPECT_EQ(text, "0062006F0062");
  EXPECT_FALSE(desktop_.SendForText(list_, kLbGetText, 1, 512, &text).ok);
  EXPECT_EQ(text, "");
  EXPECT_FALSE(desktop_.SendForText(list_, kLbGetText, 0, 0, &text).ok);
  EXPECT_TRUE(desktop_.SendForText(list_, kLbGetText, 2, 512, &text).ok);
  EXPECT_EQ(text, "a");  // a C string ends at its NUL
  EXPECT_TRUE(desktop_.SendWithText(button_, kWmSetText, 0, "Close").ok);
  EXPECT_EQ(desk_.TextOf(button_), "Close");
}

TEST_F(DesktopTest, MenusArePassedThrough) {
  desk_.SetMenuBar(main_, {{"File", {{"Exit", 11}}}, {"Players", {{"Chat", 30}, {"Choose", 32}}}});
  MenuHandle bar = desktop_.MenuBar(main_);
  ASSERT_NE(bar, 0u);
  EXPECT_EQ(desktop_.MenuItemCount(bar), 2);
  EXPECT_EQ(desktop_.MenuCommandId(desktop_.DropDown(bar, 1), 1), 32u);
  EXPECT_EQ(desktop_.DropDown(bar, 2), 0u);
  EXPECT_EQ(desktop_.MenuBar(dialog_), 0u);
  EXPECT_EQ(desktop_.MenuItemCount(0), -1);
}

TEST_F(DesktopTest, PumpingDispatchesPostedMessagesAndOtherGlibEvents) {
  std::vector<uintptr_t> commands;
  desk_.SetWindowProc(main_, [&](const simdesk::Call& call) -> std::optional<int64_t> {
    if (call.message == simdesk::WM_COMMAND) commands.push_back(call.wparam);
    return 0;
  });
  int idle_runs = 0;
  g_idle_add(
      [](gpointer runs) -> gboolean {
        ++*static_cast<int*>(runs);
        return G_SOURCE_REMOVE;
      },
      &idle_runs);
  EXPECT_TRUE(desktop_.Post(main_, kWmCommand, 42, 0));
  EXPECT_TRUE(commands.empty());  // posted: nothing happens until the loop runs
  while (desktop_.PumpOneMessage()) {
  }
  EXPECT_EQ(commands, std::vector<uintptr_t>{42});
  EXPECT_EQ(idle_runs, 1);
  EXPECT_FALSE(desktop_.Post(0xFFFFFFFFFull, kWmCommand, 1, 0));  // no such handle
}

TEST_F(DesktopTest, TheClockReadsVirtualTimeThatIdleWaitsMoveOn) {
  Clock& clock = desktop_.clock();
  EXPECT_EQ(clock.NowSeconds(), 1'000'000'000);
  for (int i = 0; i < 4; ++i) desktop_.IdleWait();
  EXPECT_EQ(clock.NowSeconds(), 1'000'000'001);
  EXPECT_EQ(clock.NowLocal().year, 2001);
}

TEST_F(DesktopTest, ASendToAHungOwnerFailsAfterItsTimeBound) {
  desk_.SetAppHung(app_, true);
  const uint64_t timed_out_before = desktop_.TimedOutCalls();
  std::string text;
  EXPECT_FALSE(desktop_.SendForText(list_, kLbGetText, 0, 512, &text).ok);
  EXPECT_EQ(desktop_.ListRowCount(list_), std::nullopt);
  EXPECT_EQ(desktop_.ControlTextById(dialog_, 7, 512), std::nullopt);
  EXPECT_EQ(desktop_.clock().NowSeconds(), 1'000'000'000 + 3 * kSendTimeoutMilliseconds / 1000);
  EXPECT_EQ(desktop_.TimedOutCalls() - timed_out_before, 3u);
}

TEST(DesktopRealTimeTest, IdleWaitEndsWithTheFirstEventOrSoonAfter) {
  simdesk::WindowSystem::Local().Reset();  // back in real time
  Desktop& desktop = SystemDesktop();
  EXPECT_LE(std::abs(desktop.clock().NowSeconds() - SystemClock().NowSeconds()), 1);
  int runs = 0;
  g_idle_add(
      [](gpointer count) -> gboolean {
        ++*static_cast<int*>(count);
        return G_SOURCE_REMOVE;
      },
      &runs);
  desktop.IdleWait();
  EXPECT_EQ(runs, 1);
  auto before = std::chrono::steady_clock::now();
  desktop.IdleWait();  // nothing to do: bounded, not blocked
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
}

// Another process's windows, as the socket transport will reach them.
class FakePeer : public simdesk::WindowService {
 public:
  static constexpr Handle kWindow = simdesk::MakeHandle(9, 1);
  Handle FindTopLevel(const std::string& title) override { return title == "Remote" ? kWindow : 0; }
  bool IsWindow(Handle window) override { return window == kWindow; }
  bool ShowWindow(Handle, int) override { return true; }
  Handle GetMenu(Handle) override { return 0; }
  int GetMenuItemCount(Handle) override { return -1; }
  Handle GetSubMenu(Handle, int) override { return 0; }
  std::optional<uint32_t> GetMenuItemId(Handle, int) override { return std::nullopt; }
  bool PostMessage(const simdesk::Message& message) override {
    posted.push_back(message.message);
    return true;
  }
  simdesk::SendReply SendMessage(const simdesk::SendRequest& request) override {
    simdesk::SendReply reply;
    reply.ok = true;
    reply.text_out = answer;  // deliberately ignores the capacity it was given
    reply.result = static_cast<int64_t>(answer.size());
    (void)request;
    return reply;
  }
  Handle GetNextDlgTabItem(Handle, Handle) override { return 0; }
  std::optional<std::string> GetClassName(Handle) override { return "RichEdit20W"; }
  int GetDlgCtrlID(Handle) override { return 0; }
  Handle GetDlgItem(Handle, int) override { return 0; }

  std::vector<uint32_t> posted;
  std::string answer;
};

class FakeDirectory : public simdesk::PeerDirectory {
 public:
  simdesk::WindowService* PeerForSlot(uint32_t slot) override {
    return slot == 9 ? &peer : nullptr;
  }
  std::vector<simdesk::WindowService*> AllPeers() override { return {&peer}; }
  FakePeer peer;
};

TEST_F(DesktopTest, OtherProcessesHandlesGoToTheirOwnerAndTheirAnswersAreChecked) {
  FakeDirectory directory;
  simdesk::SetPeerDirectory(&directory);
  WindowHandle remote = desktop_.FindTopLevelWindow("Remote");
  EXPECT_EQ(remote, FakePeer::kWindow);
  EXPECT_EQ(desktop_.FindTopLevelWindow("Server"), main_);  // local windows first
  EXPECT_TRUE(desktop_.WindowExists(remote));
  EXPECT_TRUE(desktop_.Post(remote, kWmQuit, 0, 0));
  EXPECT_EQ(directory.peer.posted, std::vector<uint32_t>{kWmQuit});
  std::string text;
  directory.peer.answer = "short";
  EXPECT_TRUE(desktop_.SendForText(remote, kWmGetText, 512, 512, &text).ok);
  EXPECT_EQ(text, "short");
  directory.peer.answer = std::string(512, 'z');
  EXPECT_FALSE(desktop_.SendForText(remote, kWmGetText, 512, 512, &text).ok);
  EXPECT_EQ(text, "");
  EXPECT_FALSE(desktop_.WindowExists(simdesk::MakeHandle(10, 1)));  // nobody owns slot 10
}

TEST(DesktopFolderRefusalTest, AFolderOpenToOthersSharesNothingAndSaysWhy) {
  char pattern[] = "/tmp/helmsman_open_desk_XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  std::string folder = pattern;
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  ::setenv("HELMSMAN_DESKTOP", folder.c_str(), 1);
  simdesk::WindowSystem::Local().Reset();  // real time: the desktop may have peers
  simdesk::SetPeerDirectory(&simdesk::SystemPeers());
  std::vector<std::string> log;
  simdesk::SetTransportLog([&log](const std::string& line) { log.push_back(line); });
  EXPECT_EQ(SystemDesktop().FindTopLevelWindow("QVServer"), 0u);
  std::string reason =
      "the desktop folder " + folder + " is open to other users (its mode must be 0700)";
  EXPECT_EQ(simdesk::SystemPeers().last_error(), reason);
  EXPECT_EQ(log, std::vector<std::string>{"the desktop cannot be shared: " + reason});
  simdesk::SetTransportLog({});
  simdesk::SetPeerDirectory(nullptr);
  ::unsetenv("HELMSMAN_DESKTOP");
  ::rmdir(folder.c_str());
}

}  // namespace
}  // namespace helmsman::platform
