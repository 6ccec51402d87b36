#include "console/maintenance/bulk_removal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "console/players/player_files_testing.h"
#include "console/players/player_generation.h"
#include "console/ui/main_window_controls.h"

namespace helmsman::maintenance {
namespace {

using players::testing::TestWorld;

// Two worlds with the same list and the same old log: one removes one by one through the
// database, the other in bulk.
struct Twin {
  TestWorld world;
  players::PlayerList list;
  ui::Controls controls;
  ui::StatusLine status;
  players::PlayerFileReader reader{world.Services()};
  players::PlayerDatabase database{reader, list, world.settings, controls, status};

  Twin(int accounts, int per_account, const std::string& old_log) {
    ui::AddMainWindowControls(controls, world.settings);
    for (int a = 0; a < accounts; ++a) {
      for (int c = 0; c < per_account; ++c) {
        players::PlayerRecord r;
        r.name = "Pilot " + std::to_string(a) + "-" + std::to_string(c);
        r.account_folder = "/accts/" + std::to_string(a);
        r.file_name = "c" + std::to_string(c) + ".qv";
        list.Add(r);
      }
    }
    if (!old_log.empty()) world.files.WriteFile(LogPath(), old_log, nullptr);
  }
  std::string LogPath() {
    return platform::JoinPath(world.program_folder, players::kRemovalLogFileName);
  }
  std::string Log() {
    std::string text;
    world.files.ReadFile(LogPath(), &text, nullptr);
    return text;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const players::PlayerRecord& r : list.InUse()) names.push_back(r.name);
    return names;
  }
};

void ExpectSameAsOneByOne(const std::vector<int>& doomed, const std::string& old_log) {
  Twin one(5, 4, old_log), bulk(5, 4, old_log);
  // One by one, as a walk that stays at the same index after each removal.
  int shift = 0;
  for (int index : doomed) one.database.RemoveRecord(index - shift++);
  EXPECT_EQ(RemoveRecordsInBulk(bulk.list, doomed, bulk.world.files, bulk.world.program_folder,
                                bulk.world.logs),
            static_cast<int>(doomed.size()));
  EXPECT_EQ(bulk.Names(), one.Names());
  EXPECT_EQ(bulk.Log(), one.Log());
  EXPECT_EQ(bulk.list.Count(), 20 - static_cast<int>(doomed.size()));
  EXPECT_TRUE(bulk.list.At(bulk.list.Count())->is_free());
}

TEST(BulkRemovalTest, ListAndLogAreTheSameAsOneByOne) {
  ExpectSameAsOneByOne({0, 1, 2, 3}, "");  // a whole account
  ExpectSameAsOneByOne({1, 5, 6, 19}, "Old entry\r\nsecond line\r\n\r\n");
  ExpectSameAsOneByOne({0, 4, 8, 12, 16}, "no line end at the end");
  ExpectSameAsOneByOne({7}, "mixed\nline\rends\r\n");
}

TEST(BulkRemovalTest, UnwritableLogIsReportedPerRecordAndTheRecordsStillGo) {
  Twin bulk(2, 2, "");
  bulk.world.files.fail_writes_of = players::kRemovalLogFileName;
  EXPECT_EQ(RemoveRecordsInBulk(bulk.list, {0, 3}, bulk.world.files, bulk.world.program_folder,
                                bulk.world.logs),
            2);
  EXPECT_THAT(bulk.Names(), ::testing::ElementsAre("Pilot 0-1", "Pilot 1-0"));
  EXPECT_EQ(bulk.world.Errors().size(), 2u);
  EXPECT_THAT(bulk.world.ProgramFolderEntries(), ::testing::IsEmpty());
}

TEST(BulkRemovalTest, IndicesOutOfOrderOrNotInUseArePassedOver) {
  Twin bulk(1, 3, "");
  EXPECT_EQ(RemoveRecordsInBulk(bulk.list, {2, 1, 7, -1}, bulk.world.files,
                                bulk.world.program_folder, bulk.world.logs),
            1);
  EXPECT_THAT(bulk.Names(), ::testing::ElementsAre("Pilot 0-0", "Pilot 0-1"));
}

}  // namespace
}  // namespace helmsman::maintenance
