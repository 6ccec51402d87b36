#include "console/settings/settings_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <random>
#include <set>

#include "console/settings/text_lines.h"
#include "console/ui/scripted_frontend.h"

namespace helmsman::settings {
namespace {

using platform::JoinPath;

constexpr SettingsFile kAllFiles[] = {SettingsFile::kProgram,     SettingsFile::kBanners,
                                      SettingsFile::kQVStat,      SettingsFile::kWebOutput,
                                      SettingsFile::kNameFilters, SettingsFile::kEquipmentFilters};
constexpr SettingsFile kFixedFiles[] = {SettingsFile::kProgram, SettingsFile::kBanners,
                                        SettingsFile::kQVStat, SettingsFile::kWebOutput};

// The disk, with faults on request and a count of in-place writes.
class FaultyFileSystem : public platform::ForwardingFileSystem {
 public:
  std::set<std::string> fail_durable_writes_of;  // base names
  std::set<std::string> fail_reads_of;
  int in_place_writes = 0;

  bool ReadFile(const std::string& path, std::string* data, std::string* error) override {
    if (fail_reads_of.count(platform::BaseName(path))) {
      *error = "cannot read " + path + ": Input/output error";
      return false;
    }
    return disk_.ReadFile(path, data, error);
  }
  bool WriteFile(const std::string& path, const std::string& data, std::string* error) override {
    ++in_place_writes;
    return disk_.WriteFile(path, data, error);
  }
  bool WriteFileDurably(const std::string& path, const std::string& data,
                        std::string* error) override {
    if (fail_durable_writes_of.count(platform::BaseName(path))) {
      *error = "cannot write " + path + ".new: No space left on device";
      return false;
    }
    return disk_.WriteFileDurably(path, data, error);
  }
  bool AppendFile(const std::string& path, const std::string& data, std::string* error) override {
    ++in_place_writes;
    return disk_.AppendFile(path, data, error);
  }

 private:
  platform::FileSystem& disk_ = platform::DiskFileSystem();
};

class SettingsFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/helmsman_settings_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    clock_.Set(platform::CivilTime{2004, 3, 9, 12, 53, 20});
    status_.set_observer([this](const std::string& text) { statuses_.push_back(text); });
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void Put(SettingsFile file, const std::string& text) {
    std::string error;
    ASSERT_TRUE(platform::DiskFileSystem().WriteFile(Path(file), text, &error)) << error;
  }
  std::string Get(SettingsFile file) {
    std::string text, error;
    EXPECT_TRUE(platform::DiskFileSystem().ReadFile(Path(file), &text, &error)) << error;
    return text;
  }
  std::string Path(SettingsFile file) { return JoinPath(dir_, FileName(file)); }
  Settings Loaded() {
    Settings s;
    LoadAllSettings(dir_, fs_, &s, logs_);
    return s;
  }

  std::string dir_;
  FaultyFileSystem fs_;
  platform::FakeClock clock_;
  platform::PictureLocaleTexts locale_{"M/d/yyyy", "h:mm:ss tt"};
  logs::Logs logs_{clock_, locale_};
  ui::ScriptedFrontend frontend_;
  ui::StatusLine status_{&frontend_};
  std::vector<std::string> statuses_;
};

// A record in which every field differs from its default and survives a save.
Settings EveryFieldChanged() {
  Settings s;
  for (SettingsFile file : kFixedFiles) {
    for (const FieldSpec& field : FileLayout(file)) {
      if (field.kind == FieldKind::kText) {
        TextField(field, s) = std::string(field.name) + " #" + std::to_string(field.index);
      } else {
        int& value = NumberField(field, s);
        value = value == field.max ? field.min : field.max;
      }
    }
  }
  s.lstNameScanFilters = {"Rogue", "", "  lead"};
  s.lstEquipmentScanFilters = {"Gravity Lance Mk II"};
  return s;
}

TEST_F(SettingsFilesTest, WithoutFilesTheRecordHoldsTheDefaults) {
  Settings s = Loaded();
  EXPECT_EQ(s, Settings{});
  EXPECT_EQ(s.optRegionalDateSetting, -1);
  EXPECT_EQ(s.optRegionalTimeSetting, 0);
  EXPECT_EQ(s.optPlayerWithBadNamePunishment, 0);
  EXPECT_EQ(s.txtQVServerWindowName, "QVServer - Version 1.0 Build 11 - QVServer");
  EXPECT_EQ(s.cmbDailyBannerDay[11], -1);
  EXPECT_EQ(s.cmbDailyBannerTime[0], -1);
  EXPECT_EQ(s.lblPlayerCharacterNumberLimit, 1);
  EXPECT_TRUE(logs_.lines(logs::LogId::kHelmError).empty());
}

TEST_F(SettingsFilesTest, LayoutsHaveTheirLineCountsAndUniqueFields) {
  struct Row {
    SettingsFile file;
    size_t lines;
  };
  for (Row row : {Row{SettingsFile::kProgram, 38}, Row{SettingsFile::kBanners, 54},
                  Row{SettingsFile::kQVStat, 20}, Row{SettingsFile::kWebOutput, 10},
                  Row{SettingsFile::kNameFilters, 0}, Row{SettingsFile::kEquipmentFilters, 0}}) {
    EXPECT_EQ(FileLayout(row.file).size(), row.lines) << FileName(row.file);
    EXPECT_EQ(SplitLines(EncodeFile(row.file, Settings{})).size(), row.lines);
  }
  std::set<std::pair<std::string, int>> seen;
  for (SettingsFile file : kFixedFiles)
    for (const FieldSpec& field : FileLayout(file))
      EXPECT_TRUE(seen.insert({field.name, field.index}).second) << field.name;
}

TEST_F(SettingsFilesTest, DefaultProgramFileIsWrittenInTheNumericPrintForm) {
  std::vector<std::string> lines = SplitLines(EncodeFile(SettingsFile::kProgram, Settings{}));
  ASSERT_EQ(lines.size(), 38u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "QVServer - Version 1.0 Build 11 - QVServer");
  EXPECT_EQ(lines[2], " 0 ");
  EXPECT_EQ(lines[3], " 5 ");
  EXPECT_EQ(lines[24], "-1 ");  // cmbAvailableBases: nothing selected
  EXPECT_EQ(lines[25], " 1 ");  // no date order selected is written as 1
  EXPECT_EQ(lines[26], " 0 ");
  EXPECT_EQ(lines[37], " 1 ");
  EXPECT_EQ(EncodeFile(SettingsFile::kProgram, Settings{}).substr(0, 4), "\r\nQV");
}

TEST_F(SettingsFilesTest, NumberForms) {
  struct Row {
    const char* line;
    int value;
  };
  const Row rows[] = {
      {" 1 ", 1},
      {"-1 ", -1},
      {" 300 ", 300},
      {" 2.6 ", 3},
      {"2.4", 2},
      {"2.5", 3},
      {"-2.5", -3},
      {".7", 1},
      {"+4", 4},
      {"\t7", 7},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {"-", 0},
      {"1e3", 1},
      {"99999999999999999999", INT_MAX},
      {"-99999999999999999999", INT_MIN},
      {"2147483647", INT_MAX},
      {"2147483648", INT_MAX},
      {"\xff"
       "5",
       0},
  };
  for (const Row& row : rows) EXPECT_EQ(ParseNumber(row.line), row.value) << row.line;
  EXPECT_EQ(FormatNumber(0), " 0 ");
  EXPECT_EQ(FormatNumber(1), " 1 ");
  EXPECT_EQ(FormatNumber(-1), "-1 ");
  EXPECT_EQ(FormatNumber(300), " 300 ");
}

TEST_F(SettingsFilesTest, SaveAndReloadReproducesEveryField) {
  Settings s = EveryFieldChanged();
  std::string exe = JoinPath(dir_, "QVServer.exe");
  Put(SettingsFile::kProgram, "");  // any file will do as the server program
  ASSERT_TRUE(std::filesystem::copy_file(Path(SettingsFile::kProgram), exe));
  s.txtQVServerexePath = exe;
  ASSERT_TRUE(SaveAllSettings(dir_, fs_, s, status_, logs_));
  EXPECT_EQ(Loaded(), s);
  EXPECT_EQ(fs_.in_place_writes, 0);
}

TEST_F(SettingsFilesTest, ReloadDifferencesAreTheDocumentedOnes) {
  Settings s;
  s.txtQVServerexePath = "C:\\Quorvane\\QVServer.exe  ";
  s.txtQVStatOutputPath = "out.html   ";
  s.txtBannedPlayersWebOutputFilePath = "banned.html ";
  s.txtTimedBanner[4] = "  keep my blanks  ";
  s.txtNewPlayerBannerPart2 = "";
  s.txtShutdownWarningBanner = "";
  for (SettingsFile file : kAllFiles) Put(file, EncodeFile(file, s));
  Settings back = Loaded();
  EXPECT_EQ(back.optRegionalDateSetting, 1);  // none selected comes back as DD/MM/YYYY
  EXPECT_EQ(back.txtQVServerexePath, "C:\\Quorvane\\QVServer.exe");
  EXPECT_EQ(back.txtQVStatOutputPath, "out.html");
  EXPECT_EQ(back.txtBannedPlayersWebOutputFilePath, "banned.html");
  EXPECT_EQ(back.txtTimedBanner[4], "  keep my blanks  ");
  EXPECT_EQ(back.txtNewPlayerBannerPart2, Settings{}.txtNewPlayerBannerPart2);
  EXPECT_EQ(back.txtShutdownWarningBanner, Settings{}.txtShutdownWarningBanner);
}

TEST_F(SettingsFilesTest, ShortProgramFileLeavesTheRestAtDefaults) {
  Put(SettingsFile::kProgram, "D:\\Server\\QVServer.exe\r\nMy Window");  // no final line end
  Settings s = Loaded();
  Settings expected;
  expected.txtQVServerexePath = "D:\\Server\\QVServer.exe";
  expected.txtQVServerWindowName = "My Window";
  EXPECT_EQ(s, expected);
}

TEST_F(SettingsFilesTest, OutOfRangeNumbersAreClampedIntoTheirRange) {
  // Every numeric line of every file, far too high and far too low.
  for (SettingsFile file : kFixedFiles) {
    std::span<const FieldSpec> layout = FileLayout(file);
    for (size_t i = 0; i < layout.size(); ++i) {
      if (layout[i].kind == FieldKind::kText) continue;
      for (const char* value : {"99999999999999999999", "-99999999999999999999", "9", "-7"}) {
        std::string text;
        for (size_t j = 0; j < i; ++j) text += "x\r\n";
        text += std::string(value) + "\r\n";
        Settings s;
        DecodeFile(file, text, &s);
        int got = NumberField(layout[i], s);
        int want = std::clamp(ParseNumber(value), layout[i].min, layout[i].max);
        EXPECT_EQ(got, want) << layout[i].name << "(" << layout[i].index << ") = " << value;
        EXPECT_GE(got, layout[i].min);
        EXPECT_LE(got, layout[i].max);
      }
    }
  }
}

TEST_F(SettingsFilesTest, CharacterLimitOfNineLoadsAsFive) {
  std::string text;
  for (int i = 1; i < 37; ++i) text += "\r\n";
  Put(SettingsFile::kProgram, text + " 9 \r\n 0 \r\n");
  Settings s = Loaded();
  EXPECT_EQ(s.vscPlayerCharacterNumberLimit, 5);
  EXPECT_EQ(s.lblPlayerCharacterNumberLimit, 0);
  // The empty lines before it are texts made empty and numbers read as 0, then clamped.
  EXPECT_EQ(s.txtQVServerWindowName, "");
  EXPECT_EQ(s.vscAutoUpdateInterval, 5);
  EXPECT_EQ(s.vscDaysInactive, 5);
  EXPECT_EQ(s.cmbAvailableBases, 0);
}

TEST_F(SettingsFilesTest, BannerFileSkipsEmptyLinesAndKeepsBlanks) {
  std::vector<std::string> lines(54);
  lines[0] = "";  // read as 0, clamped to 5
  lines[1] = " 1 ";
  lines[2] = "  First timed banner  ";
  lines[14] = "Tuesday show";
  lines[15] = " 2 ";
  lines[16] = "";  // time stays -1
  lines[17] = "Second daily";
  lines[18] = "";  // day stays -1
  lines[19] = " 23 ";
  lines[52] = "Last call, pilots.";
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  Put(SettingsFile::kBanners, text);
  Settings s = Loaded();
  EXPECT_EQ(s.vscBannerDisplayInterval, 5);
  EXPECT_EQ(s.chkEnableTimedBanners, 1);
  EXPECT_EQ(s.txtTimedBanner[0], "  First timed banner  ");
  EXPECT_EQ(s.txtTimedBanner[1], "");
  EXPECT_EQ(s.txtDailyBanner[0], "Tuesday show");
  EXPECT_EQ(s.cmbDailyBannerDay[0], 2);
  EXPECT_EQ(s.cmbDailyBannerTime[0], -1);
  EXPECT_EQ(s.txtDailyBanner[1], "Second daily");
  EXPECT_EQ(s.cmbDailyBannerDay[1], -1);
  EXPECT_EQ(s.cmbDailyBannerTime[1], 23);
  EXPECT_EQ(s.txtNewPlayerBannerPart2, Settings{}.txtNewPlayerBannerPart2);
  EXPECT_EQ(s.txt1MinuteShutdownWarningBanner, "Last call, pilots.");
}

TEST_F(SettingsFilesTest, FilterFilesKeepEveryLineTrimmed) {
  Put(SettingsFile::kNameFilters, "Rogue  \r\n\r\n  Pirate\r\n");
  Put(SettingsFile::kEquipmentFilters, "");
  Settings s;
  s.lstEquipmentScanFilters = {"stale"};
  LoadAllSettings(dir_, fs_, &s, logs_);
  EXPECT_EQ(s.lstNameScanFilters, (std::vector<std::string>{"Rogue", "", "  Pirate"}));
  EXPECT_TRUE(s.lstEquipmentScanFilters.empty());
  EXPECT_EQ(EncodeFile(SettingsFile::kNameFilters, s), "Rogue\r\n\r\n  Pirate\r\n");
  EXPECT_EQ(EncodeFile(SettingsFile::kEquipmentFilters, s), "");
}

TEST_F(SettingsFilesTest, LineFeedInsideATextCannotShiftLaterLines) {
  Settings s;
  s.txtQVServerCommandLineOptions = "-port 2302\r\n-evil";
  s.lstNameScanFilters = {"one\ntwo"};
  s.lstEquipmentScanFilters = {"Ion\rLance"};  // a lone CR ends a line when read, too
  Settings back;
  DecodeFile(SettingsFile::kProgram, EncodeFile(SettingsFile::kProgram, s), &back);
  DecodeFile(SettingsFile::kNameFilters, EncodeFile(SettingsFile::kNameFilters, s), &back);
  DecodeFile(SettingsFile::kEquipmentFilters, EncodeFile(SettingsFile::kEquipmentFilters, s),
             &back);
  EXPECT_EQ(back.lstEquipmentScanFilters, std::vector<std::string>{"Ion"});
  EXPECT_EQ(back.txtQVServerCommandLineOptions, "-port 2302");
  EXPECT_EQ(back.vscDaysInactive, 15);
  EXPECT_EQ(back.lstNameScanFilters, std::vector<std::string>{"one"});
}

TEST_F(SettingsFilesTest, LoneLineFeedsAndLoneCarriageReturns) {
  Put(SettingsFile::kQVStat, " 1 \n 45 \nstats.exe\n");
  Put(SettingsFile::kWebOutput, " 1 \rheader.html\rfooter.html");
  Settings s = Loaded();
  EXPECT_EQ(s.chkEnableQVStat, 1);
  EXPECT_EQ(s.vscStatsGenerationInterval, 45);
  EXPECT_EQ(s.txtQVStatExePath, "stats.exe");
  // CR alone ends lines too: a file an editor re-saved with CR line ends reads the same.
  EXPECT_EQ(s.chkEnableOnlinePlayerWebOutput, 1);
  EXPECT_EQ(s.txtOnlinePlayersWebOutputHeaderPath, "header.html");
  EXPECT_EQ(s.txtOnlinePlayersWebOutputFooterPath, "footer.html");
}

TEST_F(SettingsFilesTest, BinaryJunkLoadsIntoRangeWithoutHarm) {
  std::mt19937 random(20050505);
  for (int round = 0; round < 20; ++round) {
    for (SettingsFile file : kAllFiles) {
      std::string junk(4096, '\0');
      // About one byte in 24 ends a line, so that every field's line is reached.
      for (char& c : junk) c = random() % 24 == 0 ? '\n' : static_cast<char>(random() % 256);
      junk[17] = '\0';
      junk[18] = '\xff';
      Put(file, junk);
    }
    Settings s = Loaded();
    for (SettingsFile file : kFixedFiles) {
      for (const FieldSpec& field : FileLayout(file)) {
        if (field.kind == FieldKind::kText) continue;
        int value = NumberField(field, s);
        if (value == NumberField(field, Settings{})) continue;  // its line was not reached
        EXPECT_GE(value, field.min) << field.name;
        EXPECT_LE(value, field.max) << field.name;
      }
    }
  }
}

TEST_F(SettingsFilesTest, HundredKilobyteLines) {
  std::string long_text(100 * 1024, 'Q');
  std::string long_number(100 * 1024, '9');
  Put(SettingsFile::kProgram, long_text + "   \r\n" + long_text + "\r\n" + long_number + "\r\n" +
                                  std::string(100 * 1024, ' ') + "17\r\n");
  Settings s = Loaded();
  EXPECT_EQ(s.txtQVServerexePath, long_text);
  EXPECT_EQ(s.txtQVServerWindowName, long_text);
  EXPECT_EQ(s.chkAutoUpdatePlayersOnline, 1);
  EXPECT_EQ(s.vscAutoUpdateInterval, 17);
}

TEST_F(SettingsFilesTest, SaveAllWithoutServerPathLeavesProgramFileUntouched) {
  Put(SettingsFile::kProgram, "good old file\r\n");
  Settings s;
  s.txtQVServerexePath = JoinPath(dir_, "nowhere.exe");
  EXPECT_TRUE(SaveAllSettings(dir_, fs_, s, status_, logs_));
  EXPECT_EQ(Get(SettingsFile::kProgram), "good old file\r\n");
  for (SettingsFile file : kAllFiles) EXPECT_TRUE(fs_.FileExists(Path(file))) << FileName(file);
  EXPECT_EQ(statuses_, (std::vector<std::string>{
                           "Saving HELM banner settings...",
                           "HELM banner settings saved",
                           "Saving HELM QVStat settings...",
                           "HELM QVStat settings saved",
                           "Saving HELM WebOutput settings...",
                           "HELM WebOutput settings saved",
                           "Saving HELM name autoban settings...",
                           "HELM name autoban settings saved",
                           "Saving HELM equipment autoban settings...",
                           "HELM equipment autoban settings saved",
                       }));
  EXPECT_EQ(frontend_.repaints("lblStatus"), 10);
}

TEST_F(SettingsFilesTest, SaveAllWithServerPathWritesProgramFileFirst) {
  Settings s;
  s.txtQVServerexePath = JoinPath(dir_, "QVServer.exe");
  Put(SettingsFile::kNameFilters, "");
  ASSERT_TRUE(std::filesystem::copy_file(Path(SettingsFile::kNameFilters), s.txtQVServerexePath));
  EXPECT_TRUE(SaveAllSettings(dir_, fs_, s, status_, logs_));
  ASSERT_EQ(statuses_.size(), 12u);
  EXPECT_EQ(statuses_[0], "Saving HELM configuration settings...");
  EXPECT_EQ(statuses_[1], "HELM configuration settings saved");
  EXPECT_EQ(Get(SettingsFile::kProgram), EncodeFile(SettingsFile::kProgram, s));
}

TEST_F(SettingsFilesTest, PartialSavesWriteOnlyTheirFiles) {
  Settings s;
  EXPECT_TRUE(SaveBannerSettings(dir_, fs_, s, status_, logs_));
  EXPECT_EQ(statuses_, (std::vector<std::string>{"Saving HELM banner settings...",
                                                 "HELM banner settings saved"}));
  EXPECT_FALSE(fs_.FileExists(Path(SettingsFile::kQVStat)));
  statuses_.clear();
  EXPECT_TRUE(SaveWebOutputSettings(dir_, fs_, s, status_, logs_));
  EXPECT_EQ(statuses_, (std::vector<std::string>{
                           "Saving HELM QVStat settings...", "HELM QVStat settings saved",
                           "Saving HELM WebOutput settings...", "HELM WebOutput settings saved"}));
  EXPECT_TRUE(fs_.FileExists(Path(SettingsFile::kWebOutput)));
  EXPECT_FALSE(fs_.FileExists(Path(SettingsFile::kNameFilters)));
}

TEST_F(SettingsFilesTest, FailedWriteKeepsTheOldFileAndIsReported) {
  Put(SettingsFile::kQVStat, " 1 \r\n");
  fs_.fail_durable_writes_of = {"HelmsmanQVStat.ini"};
  Settings s;
  EXPECT_FALSE(SaveAllSettings(dir_, fs_, s, status_, logs_));
  EXPECT_EQ(Get(SettingsFile::kQVStat), " 1 \r\n");
  EXPECT_TRUE(fs_.FileExists(Path(SettingsFile::kEquipmentFilters)));  // the save went on
  ASSERT_EQ(logs_.lines(logs::LogId::kHelmError).size(), 1u);
  EXPECT_EQ(logs_.lines(logs::LogId::kHelmError)[0],
            "3/9/2004 12:53:20 PM: Error saving settings file " + Path(SettingsFile::kQVStat) +
                ": cannot write " + Path(SettingsFile::kQVStat) + ".new: No space left on device");
  EXPECT_EQ(std::count(statuses_.begin(), statuses_.end(), "HELM QVStat settings saved"), 0);
  EXPECT_EQ(statuses_.back(), "Unable to save HelmsmanQVStat.ini (see HELM Error Log)");
}

// An unreadable file was logged at start-up and then overwritten with defaults at
// shut-down; it is kept, as the player list is.
TEST_F(SettingsFilesTest, UnreadableFileKeepsDefaultsIsReportedAndIsNotSavedOver) {
  Put(SettingsFile::kBanners, " 60 \r\n");
  fs_.fail_reads_of = {"HelmsmanBanners.ini"};
  Settings s;
  std::set<SettingsFile> unreadable;
  LoadAllSettings(dir_, fs_, &s, logs_, &unreadable);
  EXPECT_EQ(s, Settings{});
  EXPECT_EQ(unreadable, std::set<SettingsFile>{SettingsFile::kBanners});
  EXPECT_TRUE(SaveAllSettings(dir_, fs_, s, status_, logs_, unreadable));
  EXPECT_TRUE(SaveBannerSettings(dir_, fs_, s, status_, logs_, unreadable));
  EXPECT_EQ(Get(SettingsFile::kBanners), " 60 \r\n");
  EXPECT_TRUE(fs_.FileExists(Path(SettingsFile::kQVStat)));
  EXPECT_EQ(std::count(statuses_.begin(), statuses_.end(), "HELM banner settings saved"), 0);
  const std::vector<std::string>& errors = logs_.lines(logs::LogId::kHelmError);
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_EQ(errors[1], "3/9/2004 12:53:20 PM: Settings file " + Path(SettingsFile::kBanners) +
                           " was not saved: it could not be read at start-up and is kept as it is");
}

TEST_F(SettingsFilesTest, UnreadableFileKeepsDefaultsAndIsReported) {
  Put(SettingsFile::kBanners, " 60 \r\n");
  fs_.fail_reads_of = {"HelmsmanBanners.ini"};
  EXPECT_EQ(Loaded(), Settings{});
  ASSERT_EQ(logs_.lines(logs::LogId::kHelmError).size(), 1u);
  EXPECT_NE(logs_.lines(logs::LogId::kHelmError)[0].find(": Error reading settings file " +
                                                         Path(SettingsFile::kBanners) + ": "),
            std::string::npos);
}

}  // namespace
}  // namespace helmsman::settings
