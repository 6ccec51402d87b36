#include "console/gamedata/presence.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "console/gamedata/tables.h"
#include "console/ui/scripted_frontend.h"

namespace helmsman::gamedata {
namespace {

class PresenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/helmsman_presence_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::string error;
    for (const char* name : PresenceOrder())
      ASSERT_TRUE(fs_.WriteFile(Path(name), "", &error)) << error;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) { return platform::JoinPath(dir_, name); }

  std::string dir_;
  platform::FileSystem& fs_ = platform::DiskFileSystem();
  ui::ScriptedFrontend frontend_;
};

TEST_F(PresenceTest, TwentyFilesInTheirOrder) {
  ASSERT_EQ(PresenceOrder().size(), 20u);
  EXPECT_STREQ(PresenceOrder()[7], "GAMEDATA_mines.txt");
  EXPECT_STREQ(PresenceOrder()[17], "GAMEDATA_mapinfo.txt");
  // Every table's file is checked, and mapinfo besides.
  for (Table table : LoadOrder()) {
    int found = 0;
    for (const char* name : PresenceOrder()) found += FileName(table) == std::string(name);
    EXPECT_EQ(found, 1) << FileName(table);
  }
}

TEST_F(PresenceTest, AllPresentPasses) {
  EXPECT_TRUE(CheckGameDataPresent(dir_, fs_, frontend_));
  EXPECT_TRUE(frontend_.shown().empty());
}

TEST_F(PresenceTest, EachMissingFileIsNamed) {
  for (const char* name : PresenceOrder()) {
    ASSERT_TRUE(std::filesystem::remove(Path(name)));
    frontend_.ClearShown();
    EXPECT_FALSE(CheckGameDataPresent(dir_, fs_, frontend_));
    EXPECT_EQ(frontend_.shown(),
              std::vector<std::string>{"message [Helmsman] " + std::string(name) +
                                       " missing, please re-install the program!"});
    std::string error;
    ASSERT_TRUE(fs_.WriteFile(Path(name), "", &error));
  }
}

TEST_F(PresenceTest, WithSeveralMissingTheFirstInPresenceOrderIsNamed) {
  // Projectiles load before mines, but mines are looked for first.
  for (const char* name : {"GAMEDATA_miscequipment.txt", "GAMEDATA_mapinfo.txt",
                           "GAMEDATA_projectiles.txt", "GAMEDATA_mines.txt"})
    ASSERT_TRUE(std::filesystem::remove(Path(name)));
  EXPECT_EQ(FirstMissingFile(dir_, fs_), "GAMEDATA_mines.txt");
  ASSERT_TRUE(std::filesystem::remove(Path("GAMEDATA_ammo.txt")));
  EXPECT_EQ(FirstMissingFile(dir_, fs_), "GAMEDATA_ammo.txt");
  EXPECT_EQ(MissingFileMessage("GAMEDATA_ammo.txt"),
            "GAMEDATA_ammo.txt missing, please re-install the program!");
}

TEST_F(PresenceTest, AFolderInPlaceOfAFileCountsAsMissing) {
  ASSERT_TRUE(std::filesystem::remove(Path("GAMEDATA_mapinfo.txt")));
  ASSERT_TRUE(fs_.MakeDirectory(Path("GAMEDATA_mapinfo.txt")));
  EXPECT_EQ(FirstMissingFile(dir_, fs_), "GAMEDATA_mapinfo.txt");
}

}  // namespace
}  // namespace helmsman::gamedata
