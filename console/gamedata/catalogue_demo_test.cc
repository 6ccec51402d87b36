// The catalogue against the demo universe's game data: every generated file loads, entry for
// entry, with no report in the HELM error log, and the lookups find what the generator wrote.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "console/gamedata/catalogue.h"
#include "console/gamedata/presence.h"
#include "gamefiles/catalogue.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"

namespace helmsman::gamedata {
namespace {

TEST(CatalogueDemoTest, GeneratedGameDataLoadsWhole) {
  char pattern[] = "/tmp/helmsman_gamedata_XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  std::string folder = pattern;
  platform::FileSystem& fs = platform::DiskFileSystem();
  gamefiles::DemoCatalogue generated = gamefiles::MakeCatalogue(2026);
  std::string error;
  ASSERT_TRUE(gamefiles::WriteGamedata(generated, folder, fs, &error)) << error;

  platform::FakeClock clock;
  platform::PictureLocaleTexts locale("M/d/yyyy", "h:mm:ss tt");
  logs::Logs logs(clock, locale);
  EXPECT_EQ(FirstMissingFile(folder, fs), "");
  Catalogue catalogue;
  catalogue.LoadAll(folder, fs, logs);
  EXPECT_TRUE(logs.lines(logs::LogId::kHelmError).empty());

  for (Table table : LoadOrder()) {
    const auto& written = generated[table];
    auto loaded = catalogue.Enumerate(table);
    ASSERT_EQ(loaded.size(), written.size()) << FileName(table);
    for (size_t i = 0; i < written.size(); ++i) {
      EXPECT_EQ(loaded[i].hashCode, written[i].hash_code);
      EXPECT_EQ(loaded[i].nickname, written[i].nickname);
      EXPECT_EQ(loaded[i].displayName, written[i].display_name);
    }
    const gamefiles::CatalogueEntry& last = written.back();
    const Entry* found = HasHashCodes(table) ? catalogue.FindByHashCode(table, last.hash_code)
                                             : catalogue.FindByNickname(table, last.nickname);
    ASSERT_NE(found, nullptr) << FileName(table);
    EXPECT_EQ(found->displayName, last.display_name);
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace helmsman::gamedata
