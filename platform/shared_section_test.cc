#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "platform/desktop.h"

namespace helmsman::platform {
namespace {

class SharedSectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/helmsman_desk_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    ::setenv("HELMSMAN_DESKTOP", folder_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("HELMSMAN_DESKTOP");
    std::filesystem::remove_all(folder_);
  }
  std::unique_ptr<SharedSection> Open() {
    std::string error;
    std::unique_ptr<SharedSection> section = SharedSection::Open("test", 3, &error);
    EXPECT_TRUE(section) << error;
    return section;
  }
  static uint32_t Load(SharedSection& section, int word) {
    return std::atomic_ref<uint32_t>(section.words()[word]).load();
  }
  std::string folder_;
};

TEST_F(SharedSectionTest, HoldersShareTheWordsUntilTheLastLetsGo) {
  // Every open is a holder of its own, as a process is: flock locks belong to open files.
  std::unique_ptr<SharedSection> first = Open();
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->first_holder());
  std::atomic_ref<uint32_t>(first->words()[2]).store(7);
  std::unique_ptr<SharedSection> second = Open();
  ASSERT_TRUE(second);
  EXPECT_FALSE(second->first_holder());
  EXPECT_EQ(Load(*second, 2), 7u);
  first.reset();
  std::unique_ptr<SharedSection> third = Open();
  EXPECT_FALSE(third->first_holder());
  EXPECT_EQ(Load(*third, 2), 7u);  // the second still holds it
  second.reset();
  third.reset();
  std::unique_ptr<SharedSection> fresh = Open();
  EXPECT_TRUE(fresh->first_holder());
  EXPECT_EQ(Load(*fresh, 2), 0u);
}

TEST_F(SharedSectionTest, AHolderThatDiesWithoutClosingLeavesNothingBehind) {
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string error;
    std::unique_ptr<SharedSection> section = SharedSection::Open("test", 3, &error);
    if (!section) ::_exit(2);
    std::atomic_ref<uint32_t>(section->words()[0]).store(0x1234);
    section.release();  // never closed: the process just ends, as a crashed one does
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::unique_ptr<SharedSection> next = Open();
  EXPECT_TRUE(next->first_holder());
  EXPECT_EQ(Load(*next, 0), 0u);
}

TEST_F(SharedSectionTest, ADesktopFolderOpenToOthersIsRefused) {
  ASSERT_EQ(::chmod(folder_.c_str(), 0755), 0);
  std::string error;
  EXPECT_FALSE(SharedSection::Open("test", 3, &error));
  EXPECT_EQ(error,
            "the desktop folder " + folder_ + " is open to other users (its mode must be 0700)");
}

TEST_F(SharedSectionTest, AMissingDesktopFolderIsCreatedPrivate) {
  std::string inner = folder_ + "/desk";
  ::setenv("HELMSMAN_DESKTOP", inner.c_str(), 1);
  std::string folder, error;
  ASSERT_TRUE(EnsureDesktopFolder(&folder, &error)) << error;
  EXPECT_EQ(folder, inner);
  struct stat st;
  ASSERT_EQ(::stat(inner.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(DesktopFolderTest, DefaultsToTheRuntimeFolderThenTmp) {
  ::unsetenv("HELMSMAN_DESKTOP");
  const char* runtime = ::getenv("XDG_RUNTIME_DIR");
  std::string saved = runtime ? runtime : "";
  ::setenv("XDG_RUNTIME_DIR", "/run/user/77", 1);
  EXPECT_EQ(DesktopFolder(), "/run/user/77/helmsman-desktop");
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(DesktopFolder(), "/tmp/helmsman-desktop-" + std::to_string(::getuid()));
  if (runtime) ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

}  // namespace
}  // namespace helmsman::platform
