#include "console/server/online_names.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace helmsman::server {
namespace {

using ::testing::ElementsAre;

TEST(OnlineNamesTest, PackedAndBoundedAt1001) {
  OnlineNames online;
  EXPECT_TRUE(online.Assign({"Ann", "", "Bob"}));  // an empty name cannot end the table early
  EXPECT_THAT(online.InUse(), ElementsAre("Ann", "Bob"));

  std::vector<std::string> many;
  for (int i = 0; i < 1002; ++i) many.push_back("P" + std::to_string(i));
  EXPECT_FALSE(online.Assign(many));
  EXPECT_EQ(online.InUse().size(), 1001u);
  EXPECT_EQ(online.At(1000), "P1000");
  EXPECT_EQ(online.At(1001), "");
}

TEST(OnlineNamesTest, RemoveMovesTheLaterNamesUp) {
  OnlineNames online;
  online.Assign({"Ann", "Bob", "Cy"});
  online.RemoveAt(0);
  EXPECT_THAT(online.InUse(), ElementsAre("Bob", "Cy"));
  online.RemoveAt(1);
  EXPECT_THAT(online.InUse(), ElementsAre("Bob"));
  online.RemoveAt(5);  // past the end: nothing
  EXPECT_THAT(online.InUse(), ElementsAre("Bob"));
}

}  // namespace
}  // namespace helmsman::server
