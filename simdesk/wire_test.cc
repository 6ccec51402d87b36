// The frames of the desktop transport, and the mapping of every window-service call onto
// them, run against the in-process window system through an exchange that encodes and
// decodes each frame as the sockets would carry it.
#include "simdesk/wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simdesk/window_system.h"

namespace helmsman::simdesk::wire {
namespace {

// Strips the header of a whole frame.
std::string PayloadOf(const std::string& frame) { return frame.substr(kHeaderBytes); }

class LoopbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desk_.Reset();
    desk_.timeline().UseVirtualTime(1'000'000'000'000);
    app_ = desk_.CreateApp();
    main_ = desk_.CreateTopLevel(app_, "Main", "MainClass");
    desk_.SetMenuBar(main_, {{"File", {{"Exit", 11}}}, {"Players", {{"Chat", 30}, {"Pick", 32}}}});
    dialog_ = desk_.CreateDialog(app_, main_, "Dialog");
    list_ = desk_.AddControl(dialog_, ControlKind::kListBox, "", 100);
    button_ = desk_.AddControl(dialog_, ControlKind::kButton, "Close", 1);
    desk_.SetRows(list_, {"0041", std::string(40, 'r')});
  }
  void TearDown() override { desk_.Reset(); }

  // Every frame goes through the encoders and decoders, as it would through a socket.
  RemoteWindowService::Outcome Loopback(Request* request, Response* response) {
    ++exchanges_;
    Request received;
    std::string error;
    EXPECT_TRUE(DecodeRequest(PayloadOf(EncodeRequest(*request)), &received, &error)) << error;
    EXPECT_TRUE(DecodeResponse(PayloadOf(EncodeResponse(Serve(desk_, received))), response, &error))
        << error;
    return RemoteWindowService::Outcome::kAnswered;
  }

  WindowSystem& desk_ = WindowSystem::Local();
  AppId app_ = 0;
  Handle main_ = 0, dialog_ = 0, list_ = 0, button_ = 0;
  int exchanges_ = 0;
  RemoteWindowService remote_{
      [this](Request* request, Response* response) { return Loopback(request, response); }};
};

TEST_F(LoopbackTest, EveryCallAnswersAsTheLocalWindowSystemDoes) {
  EXPECT_EQ(remote_.FindTopLevel("Dialog"), dialog_);
  EXPECT_EQ(remote_.FindTopLevel("Nobody"), 0u);
  EXPECT_TRUE(remote_.IsWindow(list_));
  EXPECT_FALSE(remote_.IsWindow(MakeHandle(3, 99)));
  EXPECT_TRUE(remote_.ShowWindow(main_, SW_MINIMIZE));
  EXPECT_EQ(desk_.ShowStateOf(main_), ShowState::kMinimized);
  Handle bar = remote_.GetMenu(main_);
  EXPECT_EQ(bar, desk_.GetMenu(main_));
  EXPECT_EQ(remote_.GetMenuItemCount(bar), 2);
  EXPECT_EQ(remote_.GetMenuItemCount(main_), -1);
  Handle players = remote_.GetSubMenu(bar, 1);
  EXPECT_EQ(remote_.GetMenuItemId(players, 1), 32u);
  EXPECT_EQ(remote_.GetMenuItemId(players, 2), std::nullopt);
  EXPECT_EQ(remote_.GetNextDlgTabItem(dialog_, 0), list_);
  EXPECT_EQ(remote_.GetNextDlgTabItem(dialog_, list_), button_);
  EXPECT_EQ(remote_.GetClassName(list_), "ListBox");
  EXPECT_EQ(remote_.GetClassName(MakeHandle(3, 99)), std::nullopt);
  EXPECT_EQ(remote_.GetDlgCtrlID(button_), 1);
  EXPECT_EQ(remote_.GetDlgItem(dialog_, 100), list_);
  EXPECT_EQ(exchanges_, 17);  // one round trip per call
}

TEST_F(LoopbackTest, TextsTravelBothWaysAndPostsWaitForTheLoop) {
  SendRequest set_text;
  set_text.message = {button_, WM_SETTEXT, 0, 0};
  set_text.has_text_in = true;
  set_text.text_in = std::string("Kick \xE9", 6);
  EXPECT_TRUE(remote_.SendMessage(set_text).ok);
  EXPECT_EQ(desk_.TextOf(button_), set_text.text_in);

  SendRequest read;
  read.message = {list_, LB_GETTEXT, 0, 0};
  read.text_out_capacity = 512;
  SendReply reply = remote_.SendMessage(read);
  EXPECT_TRUE(reply.ok);
  EXPECT_EQ(reply.result, 4);
  EXPECT_EQ(reply.text_out, "0041");
  read.message.wparam = 1;
  read.text_out_capacity = 40;  // the row and its NUL do not fit
  reply = remote_.SendMessage(read);
  EXPECT_FALSE(reply.ok);
  EXPECT_EQ(reply.text_out, "");

  EXPECT_TRUE(remote_.PostMessage({main_, WM_QUIT, 0, 0}));
  EXPECT_TRUE(desk_.Exists(main_));  // queued, not yet dispatched
  EXPECT_TRUE(desk_.DispatchOne());
  EXPECT_FALSE(desk_.Exists(main_));
  EXPECT_FALSE(remote_.PostMessage({main_, WM_QUIT, 0, 0}));
}

TEST_F(LoopbackTest, AnAnswerTooLongForAFrameFailsTheSend) {
  desk_.SetRows(list_, {std::string(kMaxAnswerText + 1, 'x')});
  SendRequest read;
  read.message = {list_, LB_GETTEXT, 0, 0};
  read.text_out_capacity = UINT32_MAX;
  Request request;
  request.call = CallKind::kSendMessage;
  request.send = read;
  Response response = Serve(desk_, request);
  EXPECT_FALSE(response.flag);
  EXPECT_EQ(response.text, "");
}

TEST(RemoteWindowServiceTest, NoAnswerLooksLikeAMissingWindow) {
  using Outcome = RemoteWindowService::Outcome;
  for (Outcome outcome : {Outcome::kUnreachable, Outcome::kTimedOut}) {
    RemoteWindowService remote([outcome](Request*, Response*) { return outcome; });
    const uint64_t timed_out_before = TimedOutCalls();
    EXPECT_EQ(remote.FindTopLevel("Main"), 0u);
    EXPECT_FALSE(remote.IsWindow(MakeHandle(2, 1)));
    EXPECT_EQ(remote.GetMenuItemCount(MakeHandle(2, 1)), -1);
    EXPECT_EQ(remote.GetMenuItemId(MakeHandle(2, 1), 0), std::nullopt);
    EXPECT_EQ(remote.GetClassName(MakeHandle(2, 1)), std::nullopt);
    SendReply reply = remote.SendMessage({});
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.timed_out, outcome == Outcome::kTimedOut);
    // Every call given up on is counted, sends or not; an unreachable peer is no hung one.
    EXPECT_EQ(TimedOutCalls() - timed_out_before, outcome == Outcome::kTimedOut ? 6u : 0u);
  }
}

TEST(RemoteWindowServiceTest, AnAnswerToAnotherRequestOrOutOfRangeIsIgnored) {
  int64_t value = MakeHandle(2, 7);
  uint32_t id_shift = 1;
  RemoteWindowService remote([&](Request* request, Response* response) {
    response->id = request->id + id_shift;
    response->value = value;
    response->flag = true;
    return RemoteWindowService::Outcome::kAnswered;
  });
  EXPECT_EQ(remote.FindTopLevel("Main"), 0u);
  id_shift = 0;
  EXPECT_EQ(remote.FindTopLevel("Main"), MakeHandle(2, 7));
  value = int64_t{1} << 40;  // no handle is that wide
  EXPECT_EQ(remote.FindTopLevel("Main"), 0u);
  EXPECT_EQ(remote.GetMenuItemCount(1), -1);
  EXPECT_EQ(remote.GetMenuItemId(1, 0), std::nullopt);
}

TEST(WireTest, MalformedPayloadsAreRefusedWithAReason) {
  Request request;
  request.call = CallKind::kSendMessage;
  request.send.has_text_in = true;
  request.send.text_in = "hello";
  std::string good = PayloadOf(EncodeRequest(request));
  std::string unknown_call = good;
  unknown_call[4] = 99;
  std::string bad_bool = good;
  bad_bool[52] = 2;  // has_text
  std::string long_string = good;
  long_string[53] = 100;  // the text's length runs past the end
  struct Row {
    std::string name;
    std::string payload;
    std::string error;
  };
  for (const Row& row : std::vector<Row>{
           {"short", good.substr(0, 20), "a request of 20 bytes does not decode"},
           {"trailing byte", good + "x", "a request of 67 bytes does not decode"},
           {"unknown call", unknown_call, "a request names the unknown call 99"},
           {"flag not 0 or 1", bad_bool, "a request of 66 bytes does not decode"},
           {"string past the end", long_string, "a request of 66 bytes does not decode"},
           {"empty", "", "a request of 0 bytes does not decode"},
       }) {
    Request decoded;
    std::string error;
    EXPECT_FALSE(DecodeRequest(row.payload, &decoded, &error)) << row.name;
    EXPECT_EQ(error, row.error) << row.name;
  }
  Request decoded;
  std::string error;
  ASSERT_TRUE(DecodeRequest(good, &decoded, &error)) << error;
  EXPECT_EQ(decoded.send.text_in, "hello");
  Response response;
  EXPECT_FALSE(DecodeResponse("garbage", &response, &error));
}

TEST(FrameReaderTest, FramesArriveInPiecesAndBackToBack) {
  Response first;
  first.id = 1;
  first.text = "one";
  Response second;
  second.id = 2;
  std::string stream = EncodeResponse(first) + EncodeResponse(second);
  FrameReader reader;
  std::vector<uint32_t> ids;
  std::string payload, error;
  for (char byte : stream) {
    reader.Append(&byte, 1);
    while (reader.Next(&payload, &error) == FrameReader::Status::kFrame) {
      Response response;
      ASSERT_TRUE(DecodeResponse(payload, &response, &error)) << error;
      ids.push_back(response.id);
    }
  }
  EXPECT_EQ(ids, (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(reader.Room(), kHeaderBytes + kMaxPayloadBytes);
}

TEST(FrameReaderTest, AWrongMagicOrAnOversizedLengthLosesTheStream) {
  struct Row {
    std::string header;
    std::string error;
  };
  std::string ten_megabytes("SMD1\x00\x00\xA0\x00", 8);
  for (const Row& row : std::vector<Row>{
           {"GET / HTTP/1.1\r\n", "a frame does not begin with the desktop's magic"},
           {ten_megabytes, "a frame announces 10485760 bytes, more than the 1048576 allowed"},
       }) {
    FrameReader reader;
    reader.Append(row.header.data(), row.header.size());
    std::string payload, error;
    EXPECT_EQ(reader.Next(&payload, &error), FrameReader::Status::kBad);
    EXPECT_EQ(error, row.error);
    std::string valid = EncodeResponse(Response());
    reader.Append(valid.data(), valid.size());
    EXPECT_EQ(reader.Next(&payload, &error), FrameReader::Status::kBad);  // stays refused
  }
}

}  // namespace
}  // namespace helmsman::simdesk::wire
