#include "console/gamedata/catalogue.h"

#include <optional>

#include "console/settings/text_lines.h"

namespace helmsman::gamedata {

namespace {

// Splits a line by its table's form; nullopt when its separators are missing.
std::optional<Entry> SplitLine(std::string_view line, bool three_columns) {
  size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  Entry entry;
  if (!three_columns) {
    entry.nickname = line.substr(0, equals);
    entry.displayName = line.substr(equals + 1);
    return entry;
  }
  size_t comma = line.find(',', equals + 1);
  if (comma == std::string_view::npos) return std::nullopt;
  entry.hashCode = line.substr(0, equals);
  entry.nickname = line.substr(equals + 1, comma - equals - 1);
  entry.displayName = line.substr(comma + 1);
  return entry;
}

std::string LineText(Table table, int line_number) {
  return std::string(": ") + FileName(table) + " line " + std::to_string(line_number);
}

}  // namespace

Catalogue::Catalogue() {
  for (Table table : LoadOrder()) {
    At(table).entries.resize(kTableCapacity);
    Reset(table);
  }
}

void Catalogue::Reset(Table table) {
  TableData& data = At(table);
  for (int i = 0; i <= data.count; ++i) data.entries[i] = Entry{};
  data.count = 0;
  data.entries[0].nickname = EndMarker(table);
  data.by_hash_code.clear();
  data.by_nickname.clear();
  data.by_display_name.clear();
}

void Catalogue::Store(Table table, Entry entry) {
  TableData& data = At(table);
  int index = data.count;
  // emplace keeps the first index of a text that occurs twice.
  data.by_hash_code.emplace(entry.hashCode, index);
  data.by_nickname.emplace(entry.nickname, index);
  data.by_display_name.emplace(entry.displayName, index);
  data.entries[index] = std::move(entry);
  ++data.count;
  data.entries[data.count] = Entry{};
  data.entries[data.count].nickname = EndMarker(table);
}

void Catalogue::LoadTable(Table table, std::string_view text, logs::Logs& logs) {
  Reset(table);
  settings::LineReader reader(text);
  std::string_view line;
  while (reader.Next(&line)) {
    if (line.empty()) continue;
    if (size(table) == kMaxEntries) {
      logs.Append(logs::LogId::kHelmError,
                  std::string(": ") + FileName(table) + " holds more than " +
                      std::to_string(kMaxEntries) + " entries; line " +
                      std::to_string(reader.line_number()) + " and all after it were ignored");
      return;
    }
    std::optional<Entry> entry = SplitLine(line, HasHashCodes(table));
    if (!entry) {
      logs.Append(logs::LogId::kHelmError, LineText(table, reader.line_number()) +
                                               " cannot be split into its fields and was skipped");
    } else if (entry->nickname == EndMarker(table)) {
      logs.Append(logs::LogId::kHelmError, LineText(table, reader.line_number()) +
                                               " holds the end marker " + EndMarker(table) +
                                               " and was skipped");
    } else {
      Store(table, std::move(*entry));
    }
  }
}

void Catalogue::LoadAll(const std::string& program_folder, platform::FileSystem& fs,
                        logs::Logs& logs) {
  for (Table table : LoadOrder()) {
    std::string path = platform::JoinPath(program_folder, FileName(table));
    std::string text, error;
    if (!fs.ReadFile(path, &text, &error)) {
      Reset(table);
      logs.Append(logs::LogId::kHelmError, ": Error reading game data file " + path + ": " + error);
      continue;
    }
    LoadTable(table, text, logs);
  }
}

const Entry* Catalogue::Find(const TableData& data, const Index& index,
                             const std::string& key) const {
  auto found = index.find(key);
  return found == index.end() ? nullptr : &data.entries[found->second];
}

const Entry* Catalogue::FindByHashCode(Table table, const std::string& code) const {
  return Find(At(table), At(table).by_hash_code, code);
}

const Entry* Catalogue::FindByNickname(Table table, const std::string& nickname) const {
  return Find(At(table), At(table).by_nickname, nickname);
}

const Entry* Catalogue::FindByDisplayName(Table table, const std::string& name) const {
  return Find(At(table), At(table).by_display_name, name);
}

std::span<const Entry> Catalogue::Enumerate(Table table) const {
  const TableData& data = At(table);
  return std::span<const Entry>(data.entries.data(), static_cast<size_t>(data.count));
}

namespace {

void AddDisplayNames(const Catalogue& catalogue, Table table, std::vector<std::string>* names) {
  for (const Entry& entry : catalogue.Enumerate(table)) names->push_back(entry.displayName);
}

}  // namespace

std::vector<std::string> AvailableBases(const Catalogue& catalogue) {
  std::vector<std::string> names;
  AddDisplayNames(catalogue, Table::kBases, &names);
  return names;
}

std::vector<std::string> AllEquippableEquipment(const Catalogue& catalogue) {
  std::vector<std::string> names;
  for (Table table : {Table::kGuns, Table::kShields, Table::kPowerGenerators, Table::kTurrets,
                      Table::kProjectiles, Table::kShips, Table::kMiscEquipment})
    AddDisplayNames(catalogue, table, &names);
  return names;
}

}  // namespace helmsman::gamedata
