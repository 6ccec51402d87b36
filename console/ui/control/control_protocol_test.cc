#include "console/ui/control/control_protocol.h"

#include <gtest/gtest.h>

namespace helmsman::ui::control {
namespace {

TEST(ControlProtocolTest, RequestWordsSurviveTheFrameByteForByte) {
  const std::vector<std::string> words = {"text", "set", "txtChatText", "", "a\x01 b"};
  FrameReader reader(kMaxRequestBytes);
  const std::string frame = RequestFrame(words);
  // Arriving a byte at a time, the frame is whole only at its last byte.
  for (size_t i = 0; i + 1 < frame.size(); ++i) {
    reader.Feed(frame.substr(i, 1));
    EXPECT_FALSE(reader.Next().has_value());
  }
  reader.Feed(frame.substr(frame.size() - 1));
  const std::optional<std::string> payload = reader.Next();
  ASSERT_TRUE(payload.has_value());
  EXPECT_EQ(RequestWords(*payload), words);
  EXPECT_EQ(reader.pending(), 0u);
}

TEST(ControlProtocolTest, AFrameLongerThanTheBoundBreaksTheStream) {
  FrameReader reader(16);
  reader.Feed(Frame(std::string(17, 'x')));
  EXPECT_FALSE(reader.Next().has_value());
  EXPECT_TRUE(reader.broken());
  EXPECT_EQ(reader.pending(), 0u);  // nothing of it is kept
  // Only the length is needed to refuse it: the 4 GiB frame is never waited for.
  FrameReader huge(kMaxRequestBytes);
  huge.Feed(std::string("\xff\xff\xff\xff", 4));
  EXPECT_FALSE(huge.Next().has_value());
  EXPECT_TRUE(huge.broken());
}

TEST(ControlProtocolTest, LongRepliesAreSplitIntoFramesThatFitTheBound) {
  const std::string text(kMaxReplyFrameBytes * 2 + 5, 'r');
  FrameReader reader(kMaxReplyFrameBytes);
  reader.Feed(ReplyFrames(FrameKind::kOut, text) + ReplyFrames(FrameKind::kExit, "0"));
  std::string joined;
  int frames = 0;
  std::optional<std::string> payload;
  while ((payload = reader.Next()) && (*payload)[0] == 'o') {
    joined += payload->substr(1);
    ++frames;
  }
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(joined, text);
  ASSERT_TRUE(payload.has_value());
  EXPECT_EQ(*payload, "x0");
}

TEST(ControlProtocolTest, TheSocketLivesInAFolderOfItsOwnInTheProgramFolder) {
  EXPECT_EQ(ControlSocketPath("/srv/helm"), "/srv/helm/helmsman-control/helmsman.sock");
}

// On Windows the pipe's name: one per folder, whichever way the folder is spelt.
TEST(ControlProtocolTest, ThePipeNameIsOnePerFolderHoweverItIsSpelt) {
  const std::string name = ControlPipeName("C:\\Games\\Quorvane\\Helm");
  EXPECT_EQ(name.rfind("\\\\.\\pipe\\helmsman-", 0), 0u) << name;
  EXPECT_EQ(name.size(), std::string(kControlPipePrefix).size() + 16);
  EXPECT_EQ(ControlPipeName("c:/games/QUORVANE/helm/"), name);
  EXPECT_NE(ControlPipeName("C:\\Games\\Quorvane\\Helm2"), name);
  EXPECT_NE(ControlPipeName("D:\\Games\\Quorvane\\Helm"), name);
}

}  // namespace
}  // namespace helmsman::ui::control
