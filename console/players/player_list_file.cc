#include "console/players/player_list_file.h"

#include <array>
#include <charconv>
#include <cstring>
#include <optional>

namespace helmsman::players {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// The record's stored fields in block order. Record is PlayerRecord or const PlayerRecord.
template <typename Record>
auto BlockFields(Record& r) {
  using Field = decltype(&r.name);
  std::array<Field, kLinesPerPlayer> fields{};
  size_t i = 0;
  for (Field f : {&r.name, &r.file_name, &r.account_folder, &r.last_read, &r.ban_until_hour,
                  &r.ban_until_month, &r.ban_until_day, &r.ban_until_year, &r.ban_reason,
                  &r.system, &r.location, &r.money, &r.rank, &r.kills, &r.time_played, &r.ship,
                  &r.last_saved}) {
    fields[i++] = f;
  }
  for (int w = 0; w < kStoredWeaponSlots; ++w) fields[i++] = &r.weapons[w];
  for (Field f : {&r.shield, &r.power_generator, &r.first_seen}) fields[i++] = f;
  return fields;
}

bool HasLineBreak(std::string_view text) {
  // memchr is vectorised; a full list is megabytes of fields.
  return std::memchr(text.data(), '\n', text.size()) != nullptr ||
         std::memchr(text.data(), '\r', text.size()) != nullptr;
}

std::string WithoutLineBreaks(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

// Splits a text into lines that end at LF; a CR right before the LF belongs to the line end.
// A text after the last LF is a line of its own.
class LineSplitter {
 public:
  explicit LineSplitter(std::string_view text) : rest_(text) {}

  bool Next(std::string_view* line) {
    if (rest_.empty()) return false;
    size_t end = rest_.find('\n');
    if (end == std::string_view::npos) {
      *line = rest_;
      rest_ = {};
      return true;
    }
    *line = rest_.substr(0, end);
    if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
    rest_.remove_prefix(end + 1);
    return true;
  }

 private:
  std::string_view rest_;
};

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
int ReadBlock(LineSplitter& lines, std::array<std::string_view, kLinesPerPlayer>* block) {
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

void FillRecord(const std::array<std::string_view, kLinesPerPlayer>& block, int count,
                PlayerRecord* record) {
  record->Clear();
  auto fields = BlockFields(*record);
  for (int i = 0; i < count; ++i) fields[i]->assign(block[i]);
}

void AddLoadWarnings(const std::string& partial_name, LoadReport* report) {
  if (report->nameless_blocks > 0) {
    report->warnings.push_back(": Player list file: " + std::to_string(report->nameless_blocks) +
                               " player blocks without a character name were skipped");
  }
  if (report->players_dropped > 0) {
    report->warnings.push_back(": Player list file holds more than " +
                               std::to_string(kMaxPlayers) + " players: " +
                               std::to_string(report->players_dropped) +
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

// Reads the blocks after the version line into the cleared list.
void DecodeBlocks(LineSplitter& lines, PlayerList* list, LoadReport* report) {
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
  AddLoadWarnings(partial_name, report);
}

// Appends one record's block; the name has been checked for line breaks already.
void EncodeRecord(const PlayerRecord& record, std::string* out, SaveReport* report) {
  bool cleaned = false;
  for (const std::string* field : BlockFields(record)) {
    if (HasLineBreak(*field)) {
      out->append(WithoutLineBreaks(*field));
      cleaned = true;
    } else {
      out->append(*field);
    }
    out->append(kLineEnd);
  }
  if (cleaned) {
    report->warnings.push_back(": Player list save: a line break in a field of player [" +
                               record.name + "] was written as a blank");
  }
}

size_t EncodedSize(std::span<const PlayerRecord> records) {
  size_t size = std::strlen(kPlayerListVersion) + kLineEnd.size();
  for (const PlayerRecord& record : records) {
    for (const std::string* field : BlockFields(record)) size += field->size() + kLineEnd.size();
  }
  return size;
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
  std::string out;
  out.reserve(EncodedSize(records));
  out.append(kPlayerListVersion).append(kLineEnd);
  for (const PlayerRecord& record : records) {
    // A name cannot be cleaned like other fields: it identifies the character, and a changed
    // name would no longer match the server's. Leaving the record out keeps every following
    // block intact; the next refresh finds the character file again as a new one.
    if (HasLineBreak(record.name)) {
      ++report->players_skipped;
      report->warnings.push_back(": Player list save: player [" +
                                 WithoutLineBreaks(record.name) +
                                 "] was not saved, a character name cannot hold a line break");
      continue;
    }
    EncodeRecord(record, &out, report);
    ++report->players_written;
  }
  return out;
}

LoadReport DecodePlayerList(std::string_view text, PlayerList* list) {
  list->Clear();
  LoadReport report;
  LineSplitter lines(text);
  std::string_view version;
  if (!lines.Next(&version)) return report;  // an empty file
  if (!IsCurrentVersion(version)) {
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

SaveReport SavePlayerList(platform::FileSystem& file_system, const std::string& program_folder,
                          ui::StatusLine& status, const PlayerList& list) {
  status.Set(kSavingPlayersStatus);
  SaveReport report;
  std::string text = EncodePlayerList(list, &report);
  std::string path = PlayerListPath(program_folder);
  if (file_system.FileExists(path)) {
    std::string error;
    if (!file_system.CopyFile(path, PlayerListBackupPath(program_folder), &error)) {
      report.warnings.push_back(": Unable to copy the player list file to its backup - " +
                                error);
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
