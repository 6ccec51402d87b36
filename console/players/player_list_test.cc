#include "console/players/player_list.h"

#include <gtest/gtest.h>

#include <memory>

#include "console/players/test_records.h"

namespace helmsman::players {
namespace {

bool IsEmpty(const PlayerRecord& r) { return r == PlayerRecord(); }

class PlayerListTest : public ::testing::Test {
 protected:
  void AddPlayers(int count) {
    for (int i = 0; i < count; ++i) ASSERT_EQ(list_->Add(MakeTestRecord(i)), i);
  }
  // 46 MB: on the heap, not on the test's stack.
  std::unique_ptr<PlayerList> list_ = std::make_unique<PlayerList>();
};

TEST_F(PlayerListTest, NewListIsEmptyAndBoundsAreChecked) {
  EXPECT_EQ(list_->Count(), 0);
  EXPECT_EQ(list_->FindFirstFree(), 0);
  EXPECT_TRUE(list_->InUse().empty());
  EXPECT_NE(list_->At(0), nullptr);
  EXPECT_NE(list_->At(20000), nullptr);
  EXPECT_EQ(list_->At(20001), nullptr);
  EXPECT_EQ(list_->At(-1), nullptr);
}

TEST_F(PlayerListTest, AddFillsTheFirstFreeRecordAndRefusesANamelessOne) {
  AddPlayers(3);
  EXPECT_EQ(list_->Count(), 3);
  EXPECT_EQ(list_->Add(PlayerRecord()), kNoPlayer);
  EXPECT_EQ(list_->Count(), 3);
  EXPECT_TRUE(*list_->At(2) == MakeTestRecord(2));
}

TEST_F(PlayerListTest, AFullTableFailsCleanly) {
  // Filled by index: the table is walked by every Add, and 20,001 of them take long here.
  for (int i = 0; i < kMaxPlayers - 1; ++i) *list_->At(i) = MakeTestRecord(i);
  ASSERT_EQ(list_->Add(MakeTestRecord(kMaxPlayers - 1)), kMaxPlayers - 1);
  EXPECT_EQ(list_->Count(), kMaxPlayers);
  EXPECT_EQ(list_->FindFirstFree(), kNoPlayer);
  EXPECT_EQ(list_->Add(MakeTestRecord(99999)), kNoPlayer);
  EXPECT_EQ(list_->FindByName("Pilot 20000"), 20000);
  EXPECT_EQ(list_->FindByName("Pilot 99999"), kNoPlayer);
  // Removing from a full table frees exactly the last record.
  ASSERT_TRUE(list_->Remove(0));
  EXPECT_EQ(list_->FindFirstFree(), 20000);
  EXPECT_TRUE(IsEmpty(*list_->At(20000)));
}

TEST_F(PlayerListTest, FindByNameIsExactAndTakesTheFirstMatch) {
  AddPlayers(3);
  PlayerRecord twin = MakeTestRecord(1);
  twin.file_name = "twin.qv";
  ASSERT_EQ(list_->Add(twin), 3);
  EXPECT_EQ(list_->FindByName("Pilot 1"), 1);
  EXPECT_EQ(list_->FindByName("pilot 1"), kNoPlayer);
  EXPECT_EQ(list_->FindByName("Pilot 1 "), kNoPlayer);
  EXPECT_EQ(list_->FindByName(""), kNoPlayer);
}

TEST_F(PlayerListTest, ANamelessRecordEndsTheListAndHidesTheRest) {
  AddPlayers(5);
  list_->At(2)->name.clear();
  EXPECT_EQ(list_->Count(), 2);
  EXPECT_EQ(list_->InUse().size(), 2u);
  EXPECT_EQ(list_->FindFirstFree(), 2);
  EXPECT_EQ(list_->FindByName("Pilot 3"), kNoPlayer);
  EXPECT_FALSE(list_->Remove(3));
}

TEST_F(PlayerListTest, RemoveMovesEveryFollowingRecordDownWithAllItsFields) {
  AddPlayers(10);
  ASSERT_TRUE(list_->Remove(3));
  EXPECT_EQ(list_->Count(), 9);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(*list_->At(i) == MakeTestRecord(i)) << i;
  for (int i = 3; i < 9; ++i) {
    EXPECT_TRUE(*list_->At(i) == MakeTestRecord(i + 1)) << i;
  }
  // Emptied entirely, so a character read into it later inherits no ban or first-seen time.
  EXPECT_TRUE(IsEmpty(*list_->At(9)));
}

TEST_F(PlayerListTest, RemoveOutsideTheRecordsInUseChangesNothing) {
  AddPlayers(3);
  for (int index : {-1, 3, 20000, 20001}) EXPECT_FALSE(list_->Remove(index)) << index;
  EXPECT_EQ(list_->Count(), 3);
  ASSERT_TRUE(list_->Remove(2));
  EXPECT_EQ(list_->Count(), 2);
  EXPECT_TRUE(IsEmpty(*list_->At(2)));
}

TEST_F(PlayerListTest, ClearEmptiesRecordsPastTheEndToo) {
  AddPlayers(4);
  list_->At(1)->name.clear();
  list_->Clear();
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(IsEmpty(*list_->At(i))) << i;
}

}  // namespace
}  // namespace helmsman::players
