#include "console/players/player_list_file.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>

#include "console/settings/text_lines.h"

namespace helmsman::players {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Calls visit with each stored field of the record, in block order. Record is PlayerRecord
// or const PlayerRecord.
template <typename Record, typename Visit>
void ForEachStoredField(Record& r, Visit visit) {
  for (auto* field :
       {&r.name, &r.file_name, &r.account_folder, &r.last_read, &r.ban_until_hour,
        &r.ban_until_month, &r.ban_until_day, &r.ban_until_year, &r.ban_reason, &r.system,
        &r.location, &r.money, &r.rank, &r.kills, &r.time_played, &r.ship, &r.last_saved}) {
    visit(*field);
  }
  for (int w = 0; w < kStoredWeaponSlots; ++w) visit(r.weapons[w]);
  visit(r.shield);
  visit(r.power_generator);
  visit(r.first_seen);
}

bool HasLineBreak(std::string_view text) {
  for (char c : text) {
    if (c == '\r' || c == '\n') return true;
  }
  return false;
}

std::string WithoutLineBreaks(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

using settings::LineReader;

// The number at the start of a text, blanks before it skipped; nullopt when there is none.
std::optional<double> LeadingNumber(std::string_view text) {
  size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return std::nullopt;
  double value = 0;
  auto [end, ec] = std::from_chars(text.data() + start, text.data() + text.size(), value);
  if (ec != std::errc()) return std::nullopt;
  return value;
}

bool IsCurrentVersion(std::string_view line) {
  // Parsed the same way as the file's line, so "4.10" gives exactly the same double.
  static const std::optional<double> current = LeadingNumber(kPlayerListVersion);
  std::optional<double> version = LeadingNumber(line);
  return version.has_value() && *version == *current;
}

// Reads up to one block of lines; returns how many were read (0 at the end of the text).
int ReadBlock(LineReader& lines, std::array<std::string_view, kLinesPerPlayer>* block) {
  int count = 0;
  while (count < kLinesPerPlayer && lines.Next(&(*block)[count])) ++count;
  return count;
}

bool AllEmpty(const std::array<std::string_view, kLinesPerPlayer>& block, int count) {
  for (int i = 0; i < count; ++i) {
    if (!block[i].empty()) return false;
  }
  return true;
}

void ClearIfSet(std::string& field) {
  if (!field.empty()) field.clear();
}

// Every field is written (or cleared), so the record needs no clearing beforehand.
void FillRecord(const std::array<std::string_view, kLinesPerPlayer>& block, int count,
                PlayerRecord* record) {
  int line = 0;
  ForEachStoredField(*record, [&](std::string& field) {
    if (line < count) {
      field.assign(block[line]);
    } else {
      field.clear();
    }
    ++line;
  });
  ClearIfSet(record->unknown_equipment_code);
  for (int w = kStoredWeaponSlots; w < kWeaponSlots; ++w) ClearIfSet(record->weapons[w]);
}

void AddLoadWarnings(const std::string& partial_name, LoadReport* report) {
  if (report->nameless_blocks > 0) {
    report->warnings.push_back(": Player list file: " + std::to_string(report->nameless_blocks) +
                               " player blocks without a character name were skipped");
  }
  if (report->players_dropped > 0) {
    report->warnings.push_back(": Player list file holds more than " + std::to_string(kMaxPlayers) +
                               " players: " + std::to_string(report->players_dropped) +
                               " players past the last record were not loaded");
  }
  if (report->ended_inside_block) {
    report->warnings.push_back(
        partial_name.empty()
            ? std::string(": Player list file ends inside a player block; the block was not "
                          "loaded")
            : ": Player list file ends inside the block of player [" + partial_name +
                  "]; the missing fields were left empty");
  }
}

// Reads the blocks after the version line into the list, replacing all it held.
void DecodeBlocks(LineReader& lines, PlayerList* list, LoadReport* report) {
  std::array<std::string_view, kLinesPerPlayer> block;
  std::string partial_name;  // of a record kept from a block the file ended inside
  int index = 0;
  for (;;) {
    int count = ReadBlock(lines, &block);
    bool partial = count < kLinesPerPlayer;
    // Empty lines after the last block are taken for trailing line ends, not a block.
    if (count == 0 || (partial && AllEmpty(block, count))) break;
    if (block[0].empty()) {
      if (!partial) ++report->nameless_blocks;
    } else if (index == kMaxPlayers) {
      ++report->players_dropped;
    } else {
      FillRecord(block, count, list->At(index++));
      if (partial) partial_name.assign(block[0]);
    }
    if (partial) {
      report->ended_inside_block = true;
      break;
    }
  }
  report->players_loaded = index;
  for (; index < kMaxPlayers; ++index) list->At(index)->Clear();
  AddLoadWarnings(partial_name, report);
}

// Writes a field and its line end at out and returns the end.
char* PutLine(std::string_view field, char* out) {
  std::memcpy(out, field.data(), field.size());
  out[field.size()] = '\r';
  out[field.size() + 1] = '\n';
  return out + field.size() + 2;
}

// The file's text with every field written as it stands. Sized once and filled through a
// pointer: a full list is 800,000 short fields.
std::string EncodeAsTheyStand(std::span<const PlayerRecord> records) {
  size_t size = std::strlen(kPlayerListVersion) + kLineEnd.size();
  for (const PlayerRecord& record : records) {
    ForEachStoredField(record, [&](const std::string& field) { size += field.size() + 2; });
  }
  std::string text(size, '\0');
  char* out = PutLine(kPlayerListVersion, text.data());
  for (const PlayerRecord& record : records) {
    ForEachStoredField(record, [&](const std::string& field) { out = PutLine(field, out); });
  }
  return text;
}

// The number of CR and LF bytes in text. Counted in fixed chunks of 64 bytes, which the
// compiler turns into vector code.
size_t CountLineBreakBytes(std::string_view text) {
  const char* p = text.data();
  size_t count = 0;
  size_t i = 0;
  for (; i + 64 <= text.size(); i += 64) {
    unsigned char chunk = 0;
    for (int j = 0; j < 64; ++j) chunk += (p[i + j] == '\r') | (p[i + j] == '\n');
    count += chunk;
  }
  for (; i < text.size(); ++i) count += (p[i] == '\r') | (p[i] == '\n');
  return count;
}

// The file's text when some field holds a line break, which the format cannot hold.
// A name cannot be cleaned like other fields: it identifies the character, and a changed
// name would no longer match the server's. Its record is left out, which keeps every
// following block intact; the next refresh finds the character file again as a new one.
// A line break in any other field is written as a blank.
std::string EncodeWithoutLineBreaks(std::span<const PlayerRecord> records, SaveReport* report) {
  std::string text = std::string(kPlayerListVersion) + std::string(kLineEnd);
  for (const PlayerRecord& record : records) {
    if (HasLineBreak(record.name)) {
      ++report->players_skipped;
      report->warnings.push_back(": Player list save: player [" + WithoutLineBreaks(record.name) +
                                 "] was not saved, a character name cannot hold a line break");
      continue;
    }
    bool cleaned = false;
    ForEachStoredField(record, [&](const std::string& field) {
      cleaned |= HasLineBreak(field);
      text.append(WithoutLineBreaks(field)).append(kLineEnd);
    });
    if (cleaned) {
      report->warnings.push_back(": Player list save: a line break in a field of player [" +
                                 record.name + "] was written as a blank");
    }
    ++report->players_written;
  }
  return text;
}

}  // namespace

std::string PlayerListPath(const std::string& program_folder) {
  return platform::JoinPath(program_folder, kPlayerListFileName);
}

std::string PlayerListBackupPath(const std::string& program_folder) {
  return platform::JoinPath(program_folder, kPlayerListBackupFileName);
}

std::string EncodePlayerList(const PlayerList& list, SaveReport* report) {
  std::span<const PlayerRecord> records = list.InUse();
  std::string text = EncodeAsTheyStand(records);
  // Each line end is one CR and one LF: any more belong to a field. One vector pass over the
  // whole text is far cheaper than checking 800,000 fields one by one.
  size_t lines = 1 + kLinesPerPlayer * records.size();
  if (CountLineBreakBytes(text) == 2 * lines) {
    report->players_written += static_cast<int>(records.size());
    return text;
  }
  return EncodeWithoutLineBreaks(records, report);
}

std::string EncodePlayerRecord(const PlayerRecord& record) {
  std::string text;
  ForEachStoredField(record, [&](const std::string& field) {
    text.append(WithoutLineBreaks(field)).append(kLineEnd);
  });
  return text;
}

bool DecodePlayerRecord(std::string_view text, PlayerRecord* record) {
  LineReader lines(text);
  std::array<std::string_view, kLinesPerPlayer> block;
  std::string_view more;
  if (ReadBlock(lines, &block) != kLinesPerPlayer || block[0].empty()) return false;
  while (lines.Next(&more)) {
    if (!more.empty()) return false;
  }
  FillRecord(block, kLinesPerPlayer, record);
  return true;
}

LoadReport DecodePlayerList(std::string_view text, PlayerList* list) {
  LoadReport report;
  LineReader lines(text);
  std::string_view version;
  if (!lines.Next(&version)) {  // an empty file
    list->Clear();
    return report;
  }
  // An editor that re-saved the file may have put a UTF-8 byte-order mark in front of it.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (version.starts_with(kByteOrderMark)) version.remove_prefix(kByteOrderMark.size());
  if (!IsCurrentVersion(version)) {
    list->Clear();
    report.outcome = LoadReport::Outcome::kOutOfDate;
    return report;
  }
  report.outcome = LoadReport::Outcome::kLoaded;
  DecodeBlocks(lines, list, &report);
  return report;
}

LoadReport LoadPlayerList(platform::FileSystem& file_system, const std::string& program_folder,
                          ui::Frontend& frontend, PlayerList* list) {
  std::string path = PlayerListPath(program_folder);
  if (!file_system.FileExists(path)) {
    list->Clear();
    return LoadReport();
  }
  std::string text;
  std::string error;
  if (!file_system.ReadFile(path, &text, &error)) {
    list->Clear();
    LoadReport report;
    report.outcome = LoadReport::Outcome::kUnreadable;
    report.error = error;
    report.warnings.push_back(": Unable to read the player list file - " + error);
    return report;
  }
  LoadReport report = DecodePlayerList(text, list);
  if (report.outcome == LoadReport::Outcome::kOutOfDate) {
    frontend.ShowMessage(kPlayerListMessageTitle, kPlayerListOutOfDateMessage);
  }
  return report;
}

bool KeepUnloadedPlayerList(platform::FileSystem& file_system, const std::string& program_folder,
                            const platform::CivilTime& now, std::string* kept_path,
                            std::string* error) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  const std::string base = PlayerListPath(program_folder) + ".unloaded-" + stamp;
  constexpr int kMaxNamesPerSecond = 100;
  for (int n = 1; n <= kMaxNamesPerSecond; ++n) {
    std::string candidate = n == 1 ? base : base + "-" + std::to_string(n);
    if (file_system.FileExists(candidate) || file_system.DirectoryExists(candidate)) continue;
    if (!file_system.CopyFile(PlayerListPath(program_folder), candidate, error)) return false;
    *kept_path = candidate;
    return true;
  }
  *error = "every name " + base + "-2 to -" + std::to_string(kMaxNamesPerSecond) + " is taken";
  return false;
}

SaveReport SavePlayerList(platform::FileSystem& file_system, const std::string& program_folder,
                          ui::StatusLine& status, const PlayerList& list) {
  status.Set(kSavingPlayersStatus);
  SaveReport report;
  std::string text = EncodePlayerList(list, &report);
  std::string path = PlayerListPath(program_folder);
  if (file_system.FileExists(path)) {
    std::string backup = PlayerListBackupPath(program_folder);
    // The copy replaces the old backup only once it is complete, so a full disk mid-copy
    // leaves the previous backup as it was.
    std::string error;
    if (!file_system.CopyFile(path, backup, &error)) {
      report.warnings.push_back(": Unable to copy the player list file to its backup - " + error);
    }
  }
  // Written beside the old file and renamed over it: a crash or a full disk mid-write leaves
  // the old list whole instead of a truncated one.
  if (!file_system.WriteFileDurably(path, text, &report.error)) {
    report.warnings.push_back(": Unable to save the player list file - " + report.error);
    status.Set(kSavePlayersFailedStatus);
    return report;
  }
  report.ok = true;
  status.Set(ui::kGoodToGo);
  return report;
}

}  // namespace helmsman::players
