#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>

namespace helmsman::platform {
namespace {

constexpr FileSystem::MoveFlush kNow = FileSystem::MoveFlush::kNow;

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

  // An owner-only write makes a file with mode 0600, also where a readable one stood.
  ::umask(022);
  ASSERT_TRUE(fs_.WriteOwnerOnlyFileDurably(path, "secret\n", &error)) << error;
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_TRUE(fs_.ReadFile(path, &data, &error));
  EXPECT_EQ(data, "secret\n");
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

TEST_F(FileSystemTest, AMoveBetweenFoldersNeverReplacesAndNeverFollowsALink) {
  std::string error, data;
  const std::string from = JoinPath(dir_, "acct"), to = JoinPath(dir_, "quarantine");
  const std::string elsewhere = JoinPath(dir_, "elsewhere");
  for (const std::string& folder : {from, to, elsewhere}) ASSERT_TRUE(fs_.MakeDirectory(folder));
  ASSERT_TRUE(fs_.WriteFile(JoinPath(from, "a.qv"), "character", &error));
  ASSERT_TRUE(fs_.WriteFile(JoinPath(to, "taken.qv"), "other", &error));
  ASSERT_TRUE(fs_.WriteFile(JoinPath(elsewhere, "a.qv"), "not ours", &error));

  EXPECT_FALSE(fs_.MoveFileBetweenFolders(from, "a.qv", to, "taken.qv", &error, kNow));
  EXPECT_NE(error.find("the target exists"), std::string::npos) << error;
  ASSERT_TRUE(fs_.ReadFile(JoinPath(to, "taken.qv"), &data, &error));
  EXPECT_EQ(data, "other");

  // A link as either folder, or as the file, is refused; nothing moves.
  const std::string link = JoinPath(dir_, "link");
  std::filesystem::create_directory_symlink(elsewhere, link);
  EXPECT_FALSE(fs_.MoveFileBetweenFolders(link, "a.qv", to, "a.qv", &error, kNow));
  EXPECT_FALSE(fs_.MoveFileBetweenFolders(from, "a.qv", link, "b.qv", &error, kNow));
  std::filesystem::create_symlink(JoinPath(elsewhere, "a.qv"), JoinPath(from, "b.qv"));
  EXPECT_FALSE(fs_.MoveFileBetweenFolders(from, "b.qv", to, "b.qv", &error, kNow));
  EXPECT_FALSE(fs_.MoveFileBetweenFolders(from, "../elsewhere/a.qv", to, "c.qv", &error, kNow));
  EXPECT_TRUE(fs_.FileExists(JoinPath(elsewhere, "a.qv")));
  EXPECT_FALSE(fs_.FileExists(JoinPath(elsewhere, "b.qv")));
  EXPECT_FALSE(fs_.FileExists(JoinPath(to, "a.qv")));

  ASSERT_TRUE(fs_.MoveFileBetweenFolders(from, "a.qv", to, "a.qv", &error, kNow)) << error;
  EXPECT_FALSE(fs_.FileExists(JoinPath(from, "a.qv")));
  ASSERT_TRUE(fs_.ReadFile(JoinPath(to, "a.qv"), &data, &error));
  EXPECT_EQ(data, "character");
}

// Across file systems the file is copied, compared and only then removed; a copy that
// cannot be finished (a full disk) leaves the original and no part of the copy.
TEST_F(FileSystemTest, AMoveToAnotherFileSystemCopiesComparesThenRemoves) {
  struct stat here, shm;
  if (::stat(dir_.c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 ||
      here.st_dev == shm.st_dev) {
    GTEST_SKIP() << "/dev/shm is not another file system here";
  }
  char pattern[] = "/dev/shm/helmsman_fs_XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string other = pattern;
  std::string error, data;
  const std::string big(256 * 1024, 'q');
  ASSERT_TRUE(fs_.WriteFile(JoinPath(dir_, "a.qv"), big, &error));
  ASSERT_TRUE(fs_.WriteFile(JoinPath(other, "b.qv"), big, &error));

  const pid_t child = ::fork();  // a disk that takes only 4 KiB more: the copy fails
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::string why;
    const bool moved = DiskFileSystem().MoveFileBetweenFolders(dir_, "a.qv", other, "a.qv", &why, kNow);
    ::_exit(moved ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(fs_.FileExists(JoinPath(other, "a.qv")));
  ASSERT_TRUE(fs_.ReadFile(JoinPath(dir_, "a.qv"), &data, &error));
  EXPECT_EQ(data, big);

  EXPECT_TRUE(fs_.MoveFileBetweenFolders(dir_, "a.qv", other, "a.qv", &error, kNow)) << error;
  EXPECT_FALSE(fs_.FileExists(JoinPath(dir_, "a.qv")));
  ASSERT_TRUE(fs_.ReadFile(JoinPath(other, "a.qv"), &data, &error));
  EXPECT_EQ(data, big);
  EXPECT_TRUE(fs_.MoveFileBetweenFolders(other, "b.qv", dir_, "b.qv", &error, kNow)) << error;
  EXPECT_FALSE(fs_.MoveFileBetweenFolders(other, "a.qv", dir_, "b.qv", &error, kNow));  // taken
  EXPECT_TRUE(fs_.FileExists(JoinPath(other, "a.qv")));
  std::filesystem::remove_all(other);
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
  EXPECT_FALSE(fs_.ReadFileTail(dir_, 10, &data, &error));
}

TEST_F(FileSystemTest, ReadsTheTailOfAFile) {
  const std::string path = JoinPath(dir_, "qv-server-errors.log");
  std::string data, error;
  ASSERT_TRUE(fs_.WriteFile(path, std::string(200000, 'a') + "last line\r\n", &error));
  ASSERT_TRUE(fs_.ReadFileTail(path, 11, &data, &error)) << error;
  EXPECT_EQ(data, "last line\r\n");
  ASSERT_TRUE(fs_.ReadFileTail(path, 1 << 20, &data, &error));
  EXPECT_EQ(data.size(), 200011u);
  EXPECT_FALSE(fs_.ReadFileTail(JoinPath(dir_, "missing"), 10, &data, &error));
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
    EXPECT_FALSE(fs_.ReadFileTail(path, 10, &data, &error)) << path;
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
  const std::vector<std::string> leftovers = {"a.ini.new123", "a.ini.new9", "a.ini.new9.0f3a",
                                              "b.ini.new4567"};
  const std::vector<std::string> others = {
      "a.ini", "a.ini.new", "a.ini.new12x", "a.ini.new12.", "a.ini.new12.XY", "a.ini.new.ab",
      "a.ini.newx", "c.ini.new1", "xa.ini.new1", "b.ini.bak"};
  for (const std::string& name : leftovers)
    ASSERT_TRUE(fs_.WriteFile(JoinPath(dir_, name), "", &error));
  for (const std::string& name : others)
    ASSERT_TRUE(fs_.WriteFile(JoinPath(dir_, name), "", &error));
  ASSERT_TRUE(fs_.MakeDirectory(JoinPath(dir_, "b.ini.new77")));  // a folder is not ours
  ASSERT_EQ(::symlink("a.ini", JoinPath(dir_, "b.ini.new78").c_str()), 0);  // nor a link
  std::vector<std::string> removed = RemoveDurableWriteLeftovers(fs_, dir_, {"a.ini", "b.ini"});
  EXPECT_EQ(removed, leftovers);
  std::vector<DirEntry> entries;
  ASSERT_TRUE(fs_.ListDirectory(dir_, &entries));
  std::vector<std::string> names;
  for (const DirEntry& entry : entries) names.push_back(entry.name);
  std::vector<std::string> expected = others;
  expected.push_back("b.ini.new77");
  expected.push_back("b.ini.new78");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}

// Links are listed as links, whatever they point at, and never as the folder they lead to.
TEST_F(FileSystemTest, ListingMarksLinksAndNeverCallsThemFolders) {
  std::string error;
  ASSERT_TRUE(fs_.MakeDirectory(JoinPath(dir_, "real")));
  ASSERT_TRUE(fs_.WriteFile(JoinPath(dir_, "file"), "x", &error));
  ASSERT_EQ(::symlink(JoinPath(dir_, "real").c_str(), JoinPath(dir_, "to_folder").c_str()), 0);
  ASSERT_EQ(::symlink(JoinPath(dir_, "file").c_str(), JoinPath(dir_, "to_file").c_str()), 0);
  ASSERT_EQ(::symlink("/nowhere/at/all", JoinPath(dir_, "dangling").c_str()), 0);
  std::vector<DirEntry> entries;
  ASSERT_TRUE(fs_.ListDirectory(dir_, &entries));
  ASSERT_EQ(entries.size(), 5u);
  for (const DirEntry& entry : entries) {
    const bool link = entry.name != "real" && entry.name != "file";
    EXPECT_EQ(entry.is_link, link) << entry.name;
    EXPECT_EQ(entry.is_directory, entry.name == "real") << entry.name;
    EXPECT_EQ(fs_.IsLink(JoinPath(dir_, entry.name)), link) << entry.name;
  }
}

// A removal inside a folder never reaches through a link: neither a link in the folder's
// own place nor a link in the file's place leads it elsewhere.
TEST_F(FileSystemTest, RemovalInAFolderNeverFollowsALink) {
  std::string error;
  const std::string outside = JoinPath(dir_, "outside");
  const std::string account = JoinPath(dir_, "account");
  ASSERT_TRUE(fs_.MakeDirectory(outside));
  ASSERT_TRUE(fs_.MakeDirectory(account));
  ASSERT_TRUE(fs_.WriteFile(JoinPath(outside, "keep.qv"), "x", &error));
  ASSERT_TRUE(fs_.WriteFile(JoinPath(account, "mine.qv"), "x", &error));
  ASSERT_EQ(::symlink(JoinPath(outside, "keep.qv").c_str(), JoinPath(account, "link.qv").c_str()),
            0);
  ASSERT_EQ(::symlink(outside.c_str(), JoinPath(dir_, "linked").c_str()), 0);
  ASSERT_EQ(::mkfifo(JoinPath(account, "pipe").c_str(), 0600), 0);

  EXPECT_TRUE(fs_.RemoveFileInFolder(account, "mine.qv", &error)) << error;
  EXPECT_FALSE(fs_.FileExists(JoinPath(account, "mine.qv")));

  error.clear();
  EXPECT_FALSE(fs_.RemoveFileInFolder(JoinPath(dir_, "linked"), "keep.qv", &error));
  EXPECT_NE(error.find("cannot open the folder"), std::string::npos) << error;
  EXPECT_FALSE(fs_.RemoveFileInFolder(account, "link.qv", &error));
  EXPECT_NE(error.find("not a file of its own"), std::string::npos) << error;
  EXPECT_FALSE(fs_.RemoveFileInFolder(account, "pipe", &error));
  EXPECT_FALSE(fs_.RemoveFileInFolder(account, "../outside/keep.qv", &error));
  EXPECT_FALSE(fs_.RemoveFileInFolder(account, "..", &error));
  EXPECT_FALSE(fs_.RemoveFileInFolder(account, "missing.qv", &error));
  EXPECT_TRUE(fs_.FileExists(JoinPath(outside, "keep.qv")));
  EXPECT_TRUE(fs_.IsLink(JoinPath(account, "link.qv")));
}

// The temporary file of a durable write is made anew under a random name: a link planted
// at the name an earlier version used, or at any other name, is never written through.
TEST_F(FileSystemTest, DurableWriteNeverWritesThroughAPlantedLink) {
  std::string error;
  const std::string victim = JoinPath(dir_, "victim.txt");
  const std::string page = JoinPath(dir_, "online.html");
  ASSERT_TRUE(fs_.WriteFile(victim, "precious", &error));
  const std::string old_name = page + ".new" + std::to_string(::getpid());
  ASSERT_EQ(::symlink(victim.c_str(), old_name.c_str()), 0);
  ASSERT_TRUE(fs_.WriteFileDurably(page, "<html>", &error)) << error;
  std::string data;
  ASSERT_TRUE(fs_.ReadFile(victim, &data, &error));
  EXPECT_EQ(data, "precious");
  ASSERT_TRUE(fs_.ReadFile(page, &data, &error));
  EXPECT_EQ(data, "<html>");

  // A link at the target itself is replaced by the file, its target left alone.
  const std::string linked_page = JoinPath(dir_, "banned.html");
  ASSERT_EQ(::symlink(victim.c_str(), linked_page.c_str()), 0);
  ASSERT_TRUE(fs_.WriteFileDurably(linked_page, "<table>", &error)) << error;
  EXPECT_FALSE(fs_.IsLink(linked_page));
  ASSERT_TRUE(fs_.ReadFile(victim, &data, &error));
  EXPECT_EQ(data, "precious");

  const std::string first = DurableWriteTemporaryName("a.ini", 42);
  const std::string second = DurableWriteTemporaryName("a.ini", 42);
  EXPECT_NE(first, second);
  EXPECT_EQ(first.size(), std::string("a.ini.new42.").size() + 16);
  EXPECT_TRUE(IsDurableWriteLeftover("a.ini", first)) << first;
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
