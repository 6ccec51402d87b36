#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace helmsman::platform {
namespace {

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/helmsman_fs_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
  FileSystem& fs_ = DiskFileSystem();
};

TEST_F(FileSystemTest, DurableWriteReplacesAndLeavesNoTemporaryFile) {
  std::string path = JoinPath(dir_, "a.ini");
  std::string error;
  ASSERT_TRUE(fs_.WriteFileDurably(path, "old\r\n", &error)) << error;
  ASSERT_TRUE(fs_.WriteFileDurably(path, "new\r\n", &error)) << error;
  std::string data;
  ASSERT_TRUE(fs_.ReadFile(path, &data, &error));
  EXPECT_EQ(data, "new\r\n");
  std::vector<DirEntry> entries;
  ASSERT_TRUE(fs_.ListDirectory(dir_, &entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "a.ini");
}

TEST_F(FileSystemTest, DurableWriteIntoMissingFolderFailsCleanly) {
  std::string error;
  EXPECT_FALSE(fs_.WriteFileDurably(JoinPath(dir_, "no/a.ini"), "x", &error));
  EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

TEST_F(FileSystemTest, FullDiskKeepsTheOldFile) {
  if (!fs_.FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  // A write to /dev/full fails the way a full disk does.
  std::string error;
  EXPECT_FALSE(fs_.WriteFile("/dev/full", "x", &error));
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
}

TEST_F(FileSystemTest, AppendKeepsExistingContent) {
  std::string path = JoinPath(dir_, "log.log");
  std::string error;
  ASSERT_TRUE(fs_.AppendFile(path, "a\r\n", &error));
  ASSERT_TRUE(fs_.AppendFile(path, "b\r\n", &error));
  std::string data;
  ASSERT_TRUE(fs_.ReadFile(path, &data, &error));
  EXPECT_EQ(data, "a\r\nb\r\n");
}

TEST_F(FileSystemTest, ListingIsSortedAndKnowsFolders) {
  std::string error;
  ASSERT_TRUE(fs_.MakeDirectory(JoinPath(dir_, "b")));
  ASSERT_TRUE(fs_.WriteFile(JoinPath(dir_, "a"), "", &error));
  ASSERT_TRUE(fs_.WriteFile(JoinPath(dir_, "C"), "", &error));
  std::vector<DirEntry> entries;
  ASSERT_TRUE(fs_.ListDirectory(dir_, &entries));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "C");
  EXPECT_EQ(entries[1].name, "a");
  EXPECT_EQ(entries[2].name, "b");
  EXPECT_TRUE(entries[2].is_directory);
  EXPECT_FALSE(fs_.ListDirectory(JoinPath(dir_, "missing"), &entries));
}

TEST_F(FileSystemTest, ReadingAFolderFails) {
  std::string data, error;
  EXPECT_FALSE(fs_.ReadFile(dir_, &data, &error));
}

TEST(PathTest, JoinAndSplit) {
  EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(BaseName("/a/b.qv"), "b.qv");
  EXPECT_EQ(DirName("/a/b.qv"), "/a");
  EXPECT_TRUE(EqualsIgnoreCase("BANNED", "banned"));
  EXPECT_TRUE(EndsWithIgnoreCase("X.QV", ".qv"));
  EXPECT_FALSE(EndsWithIgnoreCase("qv", ".qv"));
}

}  // namespace
}  // namespace helmsman::platform
