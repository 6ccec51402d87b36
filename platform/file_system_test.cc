#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// A named pipe or a device where a file is expected once hung start-up forever: opening a
// pipe waits for a writer, and /dev/zero never ends.
TEST_F(FileSystemTest, ReadingAPipeOrADeviceFailsAtOnce) {
  const std::string pipe = JoinPath(dir_, "HelmsmanPlayerList.ini");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  for (const std::string& path : {pipe, std::string("/dev/zero"), std::string("/dev/null")}) {
    if (!fs_.FileExists(path)) continue;
    std::string data = "stale", error;
    EXPECT_FALSE(fs_.ReadFile(path, &data, &error)) << path;
    EXPECT_EQ(error, "cannot read " + path + ": not a regular file");
  }
  // Writing to a pipe nobody reads fails instead of waiting for a reader.
  std::string error;
  EXPECT_FALSE(fs_.WriteFile(pipe, "x", &error));
}

// A copy goes through a temporary file and a rename, like a durable write: a full disk
// mid-copy leaves the old target whole. The target is never rewritten in place, which a
// second name of the same file shows.
TEST_F(FileSystemTest, CopyReplacesTheTargetWithoutWritingItInPlace) {
  const std::string from = JoinPath(dir_, "list.ini"), to = JoinPath(dir_, "list.ini.bak");
  const std::string witness = JoinPath(dir_, "witness");
  std::string error, data;
  ASSERT_TRUE(fs_.WriteFile(from, "new\r\n", &error));
  ASSERT_TRUE(fs_.WriteFile(to, "previous backup\r\n", &error));
  ASSERT_EQ(::link(to.c_str(), witness.c_str()), 0);
  ASSERT_TRUE(fs_.CopyFile(from, to, &error)) << error;
  ASSERT_TRUE(fs_.ReadFile(to, &data, &error));
  EXPECT_EQ(data, "new\r\n");
  ASSERT_TRUE(fs_.ReadFile(witness, &data, &error));
  EXPECT_EQ(data, "previous backup\r\n");
  std::vector<DirEntry> entries;
  ASSERT_TRUE(fs_.ListDirectory(dir_, &entries));
  EXPECT_EQ(entries.size(), 3u);  // no temporary file left
  EXPECT_FALSE(fs_.CopyFile(JoinPath(dir_, "missing"), to, &error));
  ASSERT_TRUE(fs_.ReadFile(to, &data, &error));
  EXPECT_EQ(data, "new\r\n");
}

// A save killed between writing its temporary file and the rename leaves the temporary
// file behind; only such files of the named targets are removed, nothing else.
TEST_F(FileSystemTest, LeftoversOfInterruptedDurableWritesAreRemoved) {
  std::string error;
  const std::vector<std::string> leftovers = {"a.ini.new123", "a.ini.new9", "b.ini.new4567"};
  const std::vector<std::string> others = {
      "a.ini", "a.ini.new", "a.ini.new12x", "a.ini.newx", "c.ini.new1", "xa.ini.new1", "b.ini.bak"};
  for (const std::string& name : leftovers)
    ASSERT_TRUE(fs_.WriteFile(JoinPath(dir_, name), "", &error));
  for (const std::string& name : others)
    ASSERT_TRUE(fs_.WriteFile(JoinPath(dir_, name), "", &error));
  ASSERT_TRUE(fs_.MakeDirectory(JoinPath(dir_, "b.ini.new77")));  // a folder is not ours
  std::vector<std::string> removed = RemoveDurableWriteLeftovers(fs_, dir_, {"a.ini", "b.ini"});
  EXPECT_EQ(removed, leftovers);
  std::vector<DirEntry> entries;
  ASSERT_TRUE(fs_.ListDirectory(dir_, &entries));
  std::vector<std::string> names;
  for (const DirEntry& entry : entries) names.push_back(entry.name);
  std::vector<std::string> expected = others;
  expected.push_back("b.ini.new77");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}

TEST_F(FileSystemTest, TheCurrentFolderIsEnteredAndComesBack) {
  const std::string before = CurrentFolder();
  ASSERT_TRUE(EnterFolder(dir_));
  EXPECT_EQ(CurrentFolder(), std::filesystem::canonical(dir_).string());
  EXPECT_FALSE(EnterFolder(JoinPath(dir_, "missing")));
  EXPECT_EQ(CurrentFolder(), std::filesystem::canonical(dir_).string());
  EXPECT_TRUE(EnterFolder(before));
  EXPECT_EQ(CurrentFolder(), before);
}

TEST(PathTest, JoinAndSplit) {
  EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(BaseName("/a/b.qv"), "b.qv");
  EXPECT_EQ(DirName("/a/b.qv"), "/a");
  EXPECT_TRUE(EqualsIgnoreCase("BANNED", "banned"));
  EXPECT_TRUE(EndsWithIgnoreCase("X.QV", ".qv"));
  EXPECT_FALSE(EndsWithIgnoreCase("qv", ".qv"));
  EXPECT_TRUE(IsAbsolutePath("/srv/qv"));
  EXPECT_FALSE(IsAbsolutePath("Accts/MultiPlayer"));
  EXPECT_FALSE(IsAbsolutePath(""));
}

}  // namespace
}  // namespace helmsman::platform
