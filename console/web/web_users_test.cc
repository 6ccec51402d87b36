#include "console/web/web_users.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace helmsman::web {
namespace {

class WebUsersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/helmsman_web_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Read(const std::string& name) {
    std::string data, error;
    fs_.ReadFile(platform::JoinPath(dir_, name), &data, &error);
    return data;
  }
  unsigned Mode(const std::string& name) {
    struct stat st;
    if (::stat(platform::JoinPath(dir_, name).c_str(), &st) != 0) return 0;
    return st.st_mode & 0777;
  }
  std::string Names() {
    std::vector<WebUser> list;
    std::string error, names;
    EXPECT_TRUE(Users().List(&list, nullptr, &error)) << error;
    for (const WebUser& user : list)
      names += user.name + "=" + std::string(RoleName(user.role)) + " ";
    return names;
  }

  std::string dir_;
  platform::FileSystem& fs_ = platform::DiskFileSystem();
  WebUsers Users() { return WebUsers(fs_, dir_); }
};

TEST(RoleTest, WhatEachRoleMay) {
  const Permission all[] = {Permission::kView,          Permission::kKick, Permission::kBan,
                            Permission::kUnban,         Permission::kChat, Permission::kBanners,
                            Permission::kAdministration};
  std::string table;
  for (Role role : {Role::kAdmin, Role::kModerator, Role::kViewer}) {
    table += std::string(RoleName(role)) + ":";
    for (Permission permission : all) table += RoleMay(role, permission) ? "1" : "0";
    table += " ";
    EXPECT_EQ(ParseRole(RoleName(role)), role);
  }
  EXPECT_EQ(table, "admin:1111111 moderator:1111110 viewer:1000000 ");
  EXPECT_EQ(ParseRole("Admin"), std::nullopt);
}

TEST_F(WebUsersTest, AddVerifyRemoveAndListRoundTrip) {
  WebUsers users = Users();
  EXPECT_EQ(Names(), "");
  ASSERT_EQ(users.Add("mira", "moderator", "lantern-42").outcome, Outcome::kDone);
  ASSERT_EQ(users.Add("ossi", "viewer", "quiet harbour").outcome, Outcome::kDone);
  EXPECT_EQ(Names(), "mira=moderator ossi=viewer ");
  EXPECT_EQ(Mode(kUsersFileName), 0600u);
  // Salted: the same password twice gives two hashes, and no password is in the file.
  ASSERT_EQ(users.Add("tam", "admin", "lantern-42").outcome, Outcome::kDone);
  const std::string file = Read(kUsersFileName);
  EXPECT_EQ(file.find("lantern"), std::string::npos);
  EXPECT_NE(file.find("tam:admin:210000:"), std::string::npos) << file;
  EXPECT_NE(file.substr(file.find("mira:") + 5, 106), file.substr(file.find("tam:") + 4, 106));

  EXPECT_EQ(users.Verify("mira", "lantern-42"), Role::kModerator);
  EXPECT_EQ(users.Verify("tam", "lantern-42"), Role::kAdmin);
  EXPECT_EQ(users.Verify("mira", "lantern-43"), std::nullopt);
  EXPECT_EQ(users.Verify("mira", ""), std::nullopt);
  EXPECT_EQ(users.Verify("Mira", "lantern-42"), std::nullopt);
  EXPECT_EQ(users.Verify("nobody", "lantern-42"), std::nullopt);

  Result exists = users.Add("mira", "viewer", "another-one");
  EXPECT_EQ(exists.outcome, Outcome::kRefused);
  EXPECT_EQ(exists.message, "the user mira exists");
  EXPECT_EQ(users.Remove("mira").outcome, Outcome::kDone);
  EXPECT_EQ(users.Remove("mira").message, "no user mira");
  EXPECT_EQ(users.Verify("mira", "lantern-42"), std::nullopt);
  EXPECT_EQ(Names(), "ossi=viewer tam=admin ");
  EXPECT_EQ(users.Verify("ossi", "quiet harbour"), Role::kViewer);
}

TEST_F(WebUsersTest, NamesRolesAndPasswordsOutOfBoundsAreBadRequests) {
  WebUsers users = Users();
  const std::string name32(32, 'n');
  struct Case {
    std::string name, role, password;
    Outcome outcome;
  } cases[] = {
      {name32, "viewer", "12345678", Outcome::kDone},
      {name32 + "n", "viewer", "12345678", Outcome::kBadRequest},
      {"", "viewer", "12345678", Outcome::kBadRequest},
      {"two words", "viewer", "12345678", Outcome::kBadRequest},
      {"a:b", "viewer", "12345678", Outcome::kBadRequest},
      {"tab\there", "viewer", "12345678", Outcome::kBadRequest},
      {"caf\xe9", "viewer", "12345678", Outcome::kBadRequest},
      {"x!#~", "viewer", std::string(256, 'p'), Outcome::kDone},
      {"y", "viewer", std::string(257, 'p'), Outcome::kBadRequest},
      {"y", "viewer", "1234567", Outcome::kBadRequest},
      {"y", "root", "12345678", Outcome::kBadRequest},
      {"y", "", "12345678", Outcome::kBadRequest},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(users.Add(c.name, c.role, c.password).outcome, c.outcome) << c.name << "/" << c.role;
  }
  EXPECT_EQ(Names(), name32 + "=viewer x!#~=viewer ");
  EXPECT_EQ(users.Verify("x!#~", std::string(256, 'p')), Role::kViewer);
  EXPECT_EQ(users.Remove("a:b").outcome, Outcome::kBadRequest);
}

TEST_F(WebUsersTest, ADamagedLineIsPassedOverAndKeptWithoutLosingTheOthers) {
  WebUsers users = Users();
  ASSERT_EQ(users.Add("mira", "moderator", "lantern-42").outcome, Outcome::kDone);
  ASSERT_EQ(users.Add("ossi", "viewer", "quiet harbour").outcome, Outcome::kDone);
  std::string file = Read(kUsersFileName);
  const std::string ossi = file.substr(file.find("ossi:"));  // "ossi:viewer:210000:...\n"
  // A cut line, a line with too few iterations, a role nobody has (with CR LF), ossi again.
  const std::string cut = "kai:admin:210000:00ff\n";
  const std::string weak = "lea:admin:1000" + ossi.substr(ossi.find(':', 12));
  const std::string chief = "role:chief" + ossi.substr(11, ossi.size() - 12) + "\r\n";
  const std::string damaged = cut + weak + chief + ossi;
  std::string error;
  ASSERT_TRUE(
      fs_.WriteFileDurably(platform::JoinPath(dir_, kUsersFileName), file + damaged, &error));
  std::vector<WebUser> list;
  std::vector<std::string> lines;
  ASSERT_TRUE(users.List(&list, &lines, &error)) << error;
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(lines,
            (std::vector<std::string>{"line 3: not five fields NAME:ROLE:ITERATIONS:SALT:HASH",
                                      "line 4: iterations not between 210000 and 10000000",
                                      "line 5: not a role", "line 6: a second line"}));
  EXPECT_EQ(users.Verify("lea", "quiet harbour"), std::nullopt);
  EXPECT_EQ(users.Verify("ossi", "quiet harbour"), Role::kViewer);

  // A change writes the damaged lines back as they were, for the owner to mend.
  ASSERT_EQ(users.Remove("mira").outcome, Outcome::kDone);
  EXPECT_EQ(Read(kUsersFileName),
            ossi + cut + weak + chief.substr(0, chief.size() - 2) + "\n" + ossi);
  EXPECT_EQ(users.Verify("ossi", "quiet harbour"), Role::kViewer);
}

TEST_F(WebUsersTest, TheFirstAdminIsMadeOnceWithAPasswordOnlyTheOwnerReads) {
  WebUsers users = Users();
  std::string password, error;
  ASSERT_EQ(users.EnsureFirstAdmin(&password, &error), WebUsers::FirstAdmin::kMade) << error;
  ASSERT_EQ(password.size(), 20u);
  EXPECT_EQ(password.find_first_not_of(
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
            std::string::npos);
  EXPECT_EQ(Read(kFirstAdminPasswordFileName), password + "\n");
  EXPECT_EQ(Mode(kFirstAdminPasswordFileName), 0600u);
  EXPECT_EQ(Mode(kUsersFileName), 0600u);
  EXPECT_EQ(users.Verify("admin", password), Role::kAdmin);

  std::string again;
  EXPECT_EQ(users.EnsureFirstAdmin(&again, &error), WebUsers::FirstAdmin::kExists);
  EXPECT_EQ(again, "");
  EXPECT_EQ(Read(kFirstAdminPasswordFileName), password + "\n");
  // Even an emptied users file is the operator's choice, not a first start.
  ASSERT_EQ(users.Remove("admin").outcome, Outcome::kDone);
  EXPECT_EQ(users.EnsureFirstAdmin(&again, &error), WebUsers::FirstAdmin::kExists);
}

#ifdef HELMSMAN_CTL
// helmsman-ctl web-user as built, on a program folder without a running console.
TEST_F(WebUsersTest, HelmsmanCtlAddsListsAndRemovesWebUsers) {
  const std::string out = dir_ + "/ctl.out";
  auto ctl = [&](const std::string& words, const std::string& input = "") {
    const std::string command = "printf '" + input + "' | " + HELMSMAN_CTL + " --home '" + dir_ +
                                "' web-user " + words + " >'" + out + "' 2>&1";
    const int status = std::system(command.c_str());
    std::string text, error;
    fs_.ReadFile(out, &text, &error);
    return std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + " " + text;
  };
  EXPECT_EQ(ctl("list"), "0 no web users\n");
  EXPECT_EQ(ctl("add mira moderator", "lantern-42\\nignored\\n"), "0 added mira\n");
  EXPECT_EQ(ctl("add ossi viewer", "quiet harbour\\r\\n"), "0 added ossi\n");
  EXPECT_EQ(ctl("add mira viewer", "lantern-42\\n"), "1 helmsman-ctl: the user mira exists\n");
  EXPECT_EQ(ctl("add kai viewer", "short\\n"),
            "2 helmsman-ctl: a password is 8 to 256 bytes long\n");
  EXPECT_EQ(ctl("add kai viewer", ""), "2 helmsman-ctl: no password on standard input\n");
  EXPECT_EQ(ctl("add kai chief", "lantern-42\\n"),
            "2 helmsman-ctl: a role is admin, moderator or viewer\n");
  EXPECT_EQ(ctl("add a:b viewer", "lantern-42\\n"),
            "2 helmsman-ctl: a user name is 1 to 32 printable ASCII characters without blanks or "
            "':'\n");
  EXPECT_EQ(ctl("list"), "0 mira moderator\nossi viewer\n");
  EXPECT_EQ(ctl("remove nobody"), "1 helmsman-ctl: no user nobody\n");
  EXPECT_EQ(ctl("remove mira"), "0 removed mira\n");
  EXPECT_EQ(ctl("rename ossi"),
            "2 helmsman-ctl: web-user takes add NAME ROLE, remove NAME or list\n");
  EXPECT_EQ(ctl("list"), "0 ossi viewer\n");
  EXPECT_EQ(Mode(kUsersFileName), 0600u);

  WebUsers users(fs_, dir_);
  EXPECT_EQ(users.Verify("ossi", "quiet harbour"), Role::kViewer);
}
#endif

}  // namespace
}  // namespace helmsman::web
