#include "console/safety/quarantine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "platform/hash.h"

namespace helmsman::safety {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class QuarantineTest : public ::testing::Test {
 protected:
  static std::string NewBase() {
    std::random_device seed;
    return (fs::temp_directory_path() /
            ("helmsman_quarantine_" + std::to_string(seed()) + std::to_string(seed())))
        .string();
  }
  QuarantineTest() {
    fs::create_directories(root_);
    clock_.Set(platform::CivilTime{2026, 12, 10, 21, 30, 5});
  }
  ~QuarantineTest() override { fs::remove_all(base_); }

  std::string Account(const std::string& name) {
    const std::string folder = platform::JoinPath(root_, name);
    fs::create_directories(folder);
    return folder;
  }
  void Write(const std::string& path, const std::string& text) {
    ASSERT_TRUE(platform::DiskFileSystem().WriteFile(path, text, nullptr));
  }
  std::string Read(const std::string& path) {
    std::string text;
    platform::DiskFileSystem().ReadFile(path, &text, nullptr);
    return text;
  }
  // Quarantines a1/Ada.qv, a1/Bo.qv and a2/name as one pruning run; returns the entry's id.
  std::string Prune() {
    Write(platform::JoinPath(Account("a1"), "Ada.qv"), "ada's file");
    Write(platform::JoinPath(Account("a1"), "Bo.qv"), "bo's file");
    Write(platform::JoinPath(Account("a2"), "name"), "a2");
    EXPECT_TRUE(quarantine_.Begin("Delete Inactive Players", "inactive", "15 days", "operator"));
    std::string where;
    EXPECT_TRUE(quarantine_.Take(platform::JoinPath(root_, "a1"), "Ada.qv", "[Ada]\r\nban=x", &where));
    EXPECT_EQ(where, platform::JoinPath(quarantine_.root(), "20261210-213005-1/a1/Ada.qv"));
    EXPECT_TRUE(quarantine_.Take(platform::JoinPath(root_, "a1"), "Bo.qv", "[Bo]", nullptr));
    EXPECT_TRUE(quarantine_.Take(platform::JoinPath(root_, "a2"), "name", "", nullptr));
    quarantine_.End();
    return "20261210-213005-1";
  }
  std::string Manifest(const std::string& id) {
    return platform::JoinPath(platform::JoinPath(quarantine_.root(), id), kManifestName);
  }

  std::string base_ = NewBase();
  std::string root_ = platform::JoinPath(base_, "MultiPlayer");
  platform::FakeClock clock_;
  platform::PictureLocaleTexts locale_{"M/d/yyyy", "h:mm:ss tt"};
  logs::Logs logs_{clock_, locale_};
  Quarantine quarantine_{platform::DiskFileSystem(), QuarantineRoot(root_, "/unused"), logs_};
};

TEST_F(QuarantineTest, APruneIsTakenAsideWithItsManifestAndPutBackWhole) {
  EXPECT_EQ(quarantine_.root(), platform::JoinPath(base_, kQuarantineFolderName));  // beside
  const std::string id = Prune();
  EXPECT_FALSE(fs::exists(platform::JoinPath(root_, "a1/Ada.qv")));
  EXPECT_FALSE(fs::exists(platform::JoinPath(root_, "a2/name")));

  const std::vector<QuarantineEntry> entries = quarantine_.List();
  ASSERT_EQ(entries.size(), 1u);
  const QuarantineEntry& entry = entries[0];
  EXPECT_TRUE(entry.readable);
  EXPECT_EQ(entry.time, "2026-12-10T21:30:05");
  EXPECT_EQ(entry.action, "Delete Inactive Players");
  EXPECT_EQ(entry.limit, "15 days");
  EXPECT_EQ(entry.actor, "operator");
  ASSERT_EQ(entry.files.size(), 3u);
  EXPECT_EQ(entry.files[0].original, platform::JoinPath(root_, "a1/Ada.qv"));
  EXPECT_EQ(entry.files[0].size, 10);
  EXPECT_EQ(entry.files[0].sha256, platform::Sha256Hex("ada's file"));
  EXPECT_EQ(entry.files[0].record, "[Ada]\r\nban=x");

  // Only one account first, then the rest: the entry goes with its last file.
  RestoreReport some = quarantine_.Restore(id, "a2", root_);
  EXPECT_TRUE(some.problems.empty());
  ASSERT_EQ(some.restored.size(), 1u);
  EXPECT_EQ(Read(platform::JoinPath(root_, "a2/name")), "a2");
  ASSERT_EQ(quarantine_.List().size(), 1u);
  EXPECT_EQ(quarantine_.List()[0].files.size(), 2u);
  RestoreReport rest = quarantine_.Restore(id, "", root_);
  EXPECT_TRUE(rest.problems.empty()) << rest.problems.front();
  EXPECT_EQ(rest.restored.size(), 2u);
  EXPECT_EQ(Read(platform::JoinPath(root_, "a1/Ada.qv")), "ada's file");
  EXPECT_TRUE(quarantine_.List().empty());
  EXPECT_FALSE(fs::exists(platform::JoinPath(quarantine_.root(), id)));
}

TEST_F(QuarantineTest, NothingIsRestoredOverANewFileThroughALinkOrFromADamagedEntry) {
  const std::string id = Prune();
  // A new character of the same name, and a2's folder now a link out of the account root.
  Write(platform::JoinPath(root_, "a1/Ada.qv"), "a new ada");
  const std::string outside = platform::JoinPath(base_, "outside");
  fs::create_directories(outside);
  fs::remove(platform::JoinPath(root_, "a2"));
  fs::create_directory_symlink(outside, platform::JoinPath(root_, "a2"));
  // Bo's file was changed in the quarantine.
  Write(platform::JoinPath(quarantine_.root(), id + "/a1/Bo.qv"), "tampered");

  RestoreReport report = quarantine_.Restore(id, "", root_);
  EXPECT_TRUE(report.restored.empty());
  ASSERT_EQ(report.problems.size(), 3u);
  EXPECT_THAT(report.problems[0], HasSubstr("Ada.qv was not restored"));
  EXPECT_THAT(report.problems[1], HasSubstr("differs from its manifest"));
  EXPECT_THAT(report.problems[2], HasSubstr("name was not restored"));
  EXPECT_EQ(Read(platform::JoinPath(root_, "a1/Ada.qv")), "a new ada");
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_EQ(quarantine_.List()[0].files.size(), 3u);  // all still held

  // A manifest cut short, or with a damaged line, restores nothing at all.
  fs::remove(platform::JoinPath(root_, "a1/Ada.qv"));
  const std::string whole = Read(Manifest(id));
  Write(Manifest(id), whole.substr(0, whole.rfind("{\"time\"")));
  EXPECT_FALSE(quarantine_.List()[0].readable);
  EXPECT_THAT(quarantine_.Restore(id, "", root_).problems,
              ElementsAre(HasSubstr("has no whole manifest")));
  std::string damaged = whole;
  damaged[damaged.find("Bo.qv") + 2] = '"';
  Write(Manifest(id), damaged);
  EXPECT_TRUE(quarantine_.Restore(id, "", root_).restored.empty());
  EXPECT_FALSE(fs::exists(platform::JoinPath(root_, "a1/Ada.qv")));

  // Whole again: a file removed by hand is said, the others come back.
  Write(Manifest(id), whole);
  fs::remove(platform::JoinPath(quarantine_.root(), id + "/a1/Bo.qv"));
  report = quarantine_.Restore(id, "a1", root_);
  EXPECT_EQ(report.restored.size(), 1u);
  EXPECT_THAT(report.problems, ElementsAre(HasSubstr("is no longer in the quarantine")));
  EXPECT_EQ(Read(platform::JoinPath(root_, "a1/Ada.qv")), "ada's file");
}

TEST_F(QuarantineTest, LinksAreNeverTakenAndOldEntriesArePurged) {
  const std::string outside = platform::JoinPath(base_, "outside.qv");
  Write(outside, "not a character");
  fs::create_symlink(outside, platform::JoinPath(Account("a3"), "Link.qv"));
  ASSERT_TRUE(quarantine_.Begin("Delete Player", "operator", "", "operator"));
  EXPECT_FALSE(quarantine_.Take(platform::JoinPath(root_, "a3"), "Link.qv", "", nullptr));
  quarantine_.End();
  EXPECT_TRUE(fs::exists(outside));
  EXPECT_TRUE(quarantine_.List().empty());  // an entry that took nothing is not kept
  EXPECT_THAT(logs_.lines(logs::LogId::kHelmError).back(), HasSubstr("stays where it is"));

  const std::string old_id = Prune();
  clock_.Set(platform::CivilTime{2027, 1, 5, 8, 0, 0});
  Write(platform::JoinPath(Account("a4"), "Cy.qv"), "cy");
  ASSERT_TRUE(quarantine_.Begin("maintenance", "inactive", "15 days", "rule:maintenance"));
  ASSERT_TRUE(quarantine_.Take(platform::JoinPath(root_, "a4"), "Cy.qv", "", nullptr));
  quarantine_.End();
  EXPECT_TRUE(quarantine_.Purge(30, clock_.NowLocal()).empty());  // 26 days old
  clock_.Set(platform::CivilTime{2027, 1, 10, 8, 0, 0});
  EXPECT_THAT(quarantine_.Purge(30, clock_.NowLocal()), ElementsAre(old_id));
  ASSERT_EQ(quarantine_.List().size(), 1u);
  EXPECT_EQ(quarantine_.List()[0].files[0].name, "Cy.qv");

  // The clock moved back a year: the new entry still comes last.
  clock_.Set(platform::CivilTime{2026, 1, 10, 8, 0, 0});
  Write(platform::JoinPath(Account("a4"), "Dee.qv"), "dee");
  ASSERT_TRUE(quarantine_.Begin("Delete Player", "operator", "", "operator"));
  ASSERT_TRUE(quarantine_.Take(platform::JoinPath(root_, "a4"), "Dee.qv", "", nullptr));
  quarantine_.End();
  ASSERT_EQ(quarantine_.List().size(), 2u);
  EXPECT_EQ(quarantine_.List()[1].files[0].name, "Dee.qv");
  EXPECT_EQ(quarantine_.List()[1].time, "2026-01-10T08:00:00");
}

}  // namespace
}  // namespace helmsman::safety
