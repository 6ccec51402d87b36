// What the tests of the character-file operations share: a fresh folder with a program
// folder and an account root, a small invented catalogue, logs on a fake clock, the disk
// with faults on request, and the codec itself running over that disk.
#ifndef HELMSMAN_CONSOLE_PLAYERS_PLAYER_FILES_TESTING_H_
#define HELMSMAN_CONSOLE_PLAYERS_PLAYER_FILES_TESTING_H_

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "codec/scramble.h"
#include "console/gamedata/catalogue.h"
#include "console/logs/logs.h"
#include "console/players/player_file_reader.h"
#include "console/settings/settings.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"

namespace helmsman::players::testing {

// The disk, with faults on request. A fault applies to paths ending in the given text.
class FaultyFiles : public platform::ForwardingFileSystem {
 public:
  std::string fail_reads_of;   // ReadFile fails ("no read permission")
  std::string fail_writes_of;  // WriteFile and AppendFile fail ("disk full")
  bool fail_renames = false;
  std::vector<std::string> durable_writes;  // the paths WriteFileDurably was asked to replace

  bool ReadFile(const std::string& path, std::string* data, std::string* error) override {
    if (Matches(path, fail_reads_of))
      return Fail("cannot open " + path + ": Permission denied", error);
    return disk_.ReadFile(path, data, error);
  }
  bool WriteFile(const std::string& path, const std::string& data, std::string* error) override {
    if (Matches(path, fail_writes_of))
      return Fail("cannot write " + path + ": No space left", error);
    return disk_.WriteFile(path, data, error);
  }
  bool WriteFileDurably(const std::string& path, const std::string& data,
                        std::string* error) override {
    durable_writes.push_back(path);
    if (Matches(path, fail_writes_of))
      return Fail("cannot write " + path + ": No space left", error);
    return disk_.WriteFileDurably(path, data, error);
  }
  bool AppendFile(const std::string& path, const std::string& data, std::string* error) override {
    if (Matches(path, fail_writes_of))
      return Fail("cannot write " + path + ": No space left", error);
    return disk_.AppendFile(path, data, error);
  }
  bool RenameFile(const std::string& from, const std::string& to, std::string* error) override {
    if (fail_renames) return Fail("cannot rename " + from, error);
    return disk_.RenameFile(from, to, error);
  }

 private:
  static bool Matches(const std::string& path, const std::string& suffix) {
    return !suffix.empty() && path.size() >= suffix.size() &&
           path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
  }
  static bool Fail(const std::string& text, std::string* error) {
    if (error) *error = text;
    return false;
  }
  platform::FileSystem& disk_ = platform::DiskFileSystem();
};

// The small invented catalogue of the tests. Hash codes are ten characters.
inline void LoadTestCatalogue(gamedata::Catalogue& catalogue, logs::Logs& logs) {
  using gamedata::Table;
  const std::pair<Table, const char*> tables[] = {
      {Table::kSystems, "tessa=Tessary\r\nvell=Vell Reach\r\n"},
      {Table::kBases,
       "tessa_ring=Tessary Ring Station\r\nvell_foundry=Vell Foundry\r\nlonely=Lonely Dock\r\n"},
      {Table::kShips, "SHP0000001=sh_wren,Wren Skiff\r\nSHP0000002=sh_bastion,Bastion Hauler\r\n"},
      {Table::kGuns, "GUN0000001=gun_ion,Ion Lance\r\nGUN0000002=gun_scatter,Scatter Repeater\r\n"},
      {Table::kTurrets, "TUR0000001=tur_grav,Gravlock Turret\r\n"},
      {Table::kProjectiles, "PRJ0000001=prj_tern,Tern Missile Rack\r\n"},
      {Table::kShields,
       "SHD0000001=sh_aegis,Aegis Field\r\nSHD0000002=sh_pavise,Pavise Screen\r\n"},
      {Table::kPowerGenerators, "PWR0000001=pw_helion,Helion Core\r\n"},
      {Table::kEngines, "ENG0000001=en_drift,Drift Engine\r\n"},
      {Table::kScanners, "SCN0000001=sc_wide,Wide Scanner\r\n"},
      {Table::kMiscEquipment, "MSC0000001=ms_lamp,Hull Lamp\r\n"},
      {Table::kAmmo, "AMO0000001=am_tern,Tern Missile\r\n"},
  };
  for (const auto& [table, text] : tables) catalogue.LoadTable(table, text, logs);
}

// "name = " value of a name: four hex digits per character, as the game writes names.
inline std::string HexName(const std::string& name) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : name) {
    hex += "00";
    hex += kDigits[c >> 4];
    hex += kDigits[c & 0xF];
  }
  return hex;
}

// The decoded text of a character in the tests' catalogue, 49 lines, keys in reading order.
inline std::vector<std::string> CharacterLines(const std::string& name_line) {
  std::vector<std::string> lines = {
      "[Player]",
      "description = " + HexName("3/14/2025 9:12:44 PM"),
      "tstamp = 1742000000",
      "name = " + name_line,
      "rank = 12",
      "house = 0.500000, fc_tollkeepers",
      "voice = trent_voice",
      "money = 5000",
      "system = tessa",
      "base = tessa_ring",
      "ship_archetype = SHP0000001",
      "equip = GUN0000001, HpGun01, 1",
      "equip = TUR0000001, HpTurret01, 1",
      "equip = SHD0000001, HpShield01, 1",
      "equip = PWR0000001, , 1",
      "equip = ENG0000001, , 1",
      "cargo = AMO0000001, 10",
      "last_base = tessa_ring",
  };
  while (lines.size() < 46) lines.push_back("visit = place" + std::to_string(lines.size()) + ", 1");
  lines.push_back("ship_type_killed = SHP0000001, 3");
  lines.push_back("ship_type_killed = SHP0000002, 4");
  lines.push_back("total_time_played = 3725.500000");
  return lines;
}

inline std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// A fresh folder with "program" and "accounts" in it, removed again at the end.
class TestWorld {
 public:
  TestWorld() {
    static int counter = 0;
    base_ = (std::filesystem::temp_directory_path() /
             ("helmsman_players_" + std::to_string(::getpid()) + "_" + std::to_string(++counter)))
                .string();
    std::filesystem::remove_all(base_);
    program_folder = platform::JoinPath(base_, "program");
    root = platform::JoinPath(base_, "accounts");
    std::filesystem::create_directories(program_folder);
    std::filesystem::create_directories(root);
    files.WriteFile(platform::JoinPath(root, "QVServer.cfg"), "[Server]\r\n", nullptr);
    settings.txtQVServercfgPath = platform::JoinPath(root, "QVServer.cfg");
    clock.Set(platform::CivilTime{2025, 6, 1, 14, 5, 9});
    LoadTestCatalogue(catalogue, logs);
  }
  ~TestWorld() { std::filesystem::remove_all(base_); }

  CharacterFileServices Services() {
    return CharacterFileServices{files, codec, catalogue, settings, logs, program_folder};
  }

  // Creates the account folder (when missing) and returns its path.
  std::string Account(const std::string& name) {
    std::string folder = platform::JoinPath(root, name);
    std::filesystem::create_directories(folder);
    return folder;
  }
  // Writes a scrambled character file; returns its path.
  std::string WriteCharacter(const std::string& folder, const std::string& file,
                             const std::string& plain) {
    std::string path = platform::JoinPath(folder, file);
    files.WriteFile(path, codec::EncodeText(plain), nullptr);
    return path;
  }
  std::string WriteCharacter(const std::string& folder, const std::string& file,
                             const std::vector<std::string>& lines) {
    return WriteCharacter(folder, file, JoinLines(lines));
  }
  // The plain text of a character file on disk ("" when it is not a scrambled file).
  std::string PlainText(const std::string& path) {
    std::string scrambled, plain;
    files.ReadFile(path, &scrambled, nullptr);
    codec::DecodeText(scrambled, &plain);
    return plain;
  }
  const std::vector<std::string>& Errors() const { return logs.lines(logs::LogId::kHelmError); }
  const std::vector<std::string>& Activity() const {
    return logs.lines(logs::LogId::kServerActivity);
  }
  // The program folder's entries (temporary files must not stay behind).
  std::vector<std::string> ProgramFolderEntries() {
    std::vector<platform::DirEntry> entries;
    files.ListDirectory(program_folder, &entries);
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    return names;
  }

  std::string program_folder;
  std::string root;
  FaultyFiles files;
  // Log stamps read "6/1/2025 2:05:09 PM"; tests compare the text after the stamp.
  platform::FakeClock clock;
  platform::PictureLocaleTexts locale{"M/d/yyyy", "h:mm:ss tt"};
  logs::Logs logs{clock, locale};
  gamedata::Catalogue catalogue;
  settings::Settings settings;
  // The codec itself, over the (faulty) disk; codec_fault replaces its answer when set.
  int32_t codec_fault = 0;
  CodecFn codec = [this](int32_t type, const std::string& source, const std::string& target) {
    if (codec_fault != 0) return codec_fault;
    return codec::Convert(type, source.c_str(), target.c_str(), files);
  };

 private:
  std::string base_;
};

inline constexpr char kStamp[] = "6/1/2025 2:05:09 PM";

// The messages of log lines, without their stamps.
inline std::vector<std::string> Messages(const std::vector<std::string>& lines) {
  std::vector<std::string> messages;
  for (const std::string& line : lines) {
    messages.push_back(line.rfind(kStamp, 0) == 0 ? line.substr(sizeof kStamp - 1) : line);
  }
  return messages;
}

}  // namespace helmsman::players::testing

#endif  // HELMSMAN_CONSOLE_PLAYERS_PLAYER_FILES_TESTING_H_
