// The qvdemo program: both parts of a demo universe from the command line, the same bytes as
// the library writes, and usage errors.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "codec/os_test_helpers.h"
#include "gamefiles/catalogue.h"
#include "gamefiles/universe.h"
#include "gamefiles/testing/file_tree.h"
#include "platform/file_system.h"

namespace helmsman::gamefiles {
namespace {

using platform::DiskFileSystem;
using platform::JoinPath;

using testing::Read;
using testing::Tree;

TEST(QvdemoTest, WritesBothParts) {
  codec::testing::TemporaryFolder folder;
  auto path = [&](const std::string& name) { return JoinPath(folder.path(), name); };
  std::string tool = JoinPath(codec::testing::ExecutableFolder(), "qvdemo");
  std::string quiet = " >" + path("out") + " 2>" + path("err");
  ASSERT_EQ(codec::testing::RunCommand(tool + " gamedata --seed 12 --out " + path("prog") + quiet),
            0);
  EXPECT_EQ(Read(path("out")), "wrote 20 GAMEDATA files to " + path("prog") + "\n");
  ASSERT_EQ(codec::testing::RunCommand(tool + " accounts --seed 12 --accounts 4 --root " +
                                       path("accts") + " --gamedata " + path("prog") + quiet),
            0);
  EXPECT_EQ(Read(path("out")).rfind("wrote 4 accounts (", 0), 0u);
  // The catalogue read from the files equals the seed's, so the accounts are the same.
  AccountsOptions options;
  options.seed = 12;
  options.accounts = 4;
  options.root = path("direct");
  options.now_seconds = DefaultReferenceTime(12);
  AccountsSummary summary;
  std::string error;
  ASSERT_TRUE(GenerateAccounts(MakeCatalogue(12), options, DiskFileSystem(), &summary, &error))
      << error;
  EXPECT_TRUE(Tree(path("accts")) == Tree(path("direct")));
  ASSERT_EQ(codec::testing::RunCommand(tool + " accounts --seed 12 --accounts 2 --characters 5 " +
                                       "--now 2026-01-31 --root " + path("five") + quiet),
            0);
  EXPECT_EQ(Read(path("out")).rfind("wrote 2 accounts (10 characters, ", 0), 0u);

  for (std::string bad : {"", "gamedata --out x", "accounts --seed 1 --root x",
                          "accounts --seed 1 --accounts 2 --root x --colour red",
                          "accounts --seed x --accounts 2 --root x", "gamedata --seed 1 --out",
                          "accounts --seed 1 --accounts 2 --root x --characters 6",
                          "accounts --seed 1 --accounts 2 --root x --now 2026-02-30x"}) {
    EXPECT_EQ(codec::testing::RunCommand(tool + " " + bad + quiet), 2) << bad;
  }
}

}  // namespace
}  // namespace helmsman::gamefiles
