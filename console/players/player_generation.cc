#include "console/players/player_generation.h"

#include <unordered_set>

#include "console/players/player_list_file.h"
#include "console/players/player_screen_lists.h"
#include "console/safety/journal.h"
#include "console/safety/quarantine.h"
#include "console/settings/text_lines.h"

namespace helmsman::players {

namespace {

using logs::LogId;

constexpr char kProgress[] = "prgProgress";
constexpr char kTimer[] = "tmrMainEventTimer";
// The toggle's caption while the server is under the console's control.
constexpr char kStopServerCaption[] = "Stop Server";

std::string Number(int n) { return std::to_string(n); }

// The key under which a record's file is known: folder, separator, name.
std::string FileKey(const std::string& folder, const std::string& name) {
  return platform::JoinPath(folder, name);
}

}  // namespace

// Stops the main event timer for the life of the object and restores it afterwards, but
// only while the server is still under the console's control: the operator may stop it
// while the run lets events through, and a timer switched on again would then start the
// server at its next check.
class PlayerDatabase::TimerPause {
 public:
  explicit TimerPause(ui::Controls& controls)
      : controls_(controls), was_running_(controls.Get(kTimer).enabled()) {
    controls_.SetEnabled(kTimer, false);
  }
  ~TimerPause() {
    const bool server_controlled = controls_.Get("cmdToggleServer").text() == kStopServerCaption;
    if (was_running_ && server_controlled) controls_.SetEnabled(kTimer, true);
  }

 private:
  ui::Controls& controls_;
  bool was_running_;
};

std::string AccountRoot(const std::string& qvserver_cfg_path) {
  return platform::DirName(qvserver_cfg_path);
}

void ReportLinkInAccountRoot(logs::Logs& logs, const std::string& path) {
  logs.AppendOnce(LogId::kHelmError, "link " + path,
                  ": " + path +
                      " is a link; a link in the account root is never read as an account "
                      "or a character file, and never followed");
}

bool ListAccountFolders(platform::FileSystem& files, const std::string& root,
                        std::vector<std::string>* folders, logs::Logs* logs) {
  folders->clear();
  std::vector<platform::DirEntry> entries;
  if (root.empty() || !files.ListDirectory(root, &entries)) return false;
  for (const platform::DirEntry& entry : entries) {
    const std::string path = platform::JoinPath(root, entry.name);
    if (entry.is_link) {
      if (logs) ReportLinkInAccountRoot(*logs, path);
    } else if (entry.is_directory) {
      folders->push_back(path);
    }
  }
  return true;
}

bool ListCharacterFiles(platform::FileSystem& files, const std::string& folder,
                        std::vector<std::string>* names, logs::Logs* logs) {
  names->clear();
  std::vector<platform::DirEntry> entries;
  if (!files.ListDirectory(folder, &entries)) return false;
  for (platform::DirEntry& entry : entries) {
    if (entry.is_directory || !platform::EndsWithIgnoreCase(entry.name, ".qv")) continue;
    if (entry.is_link) {
      if (logs) ReportLinkInAccountRoot(*logs, platform::JoinPath(folder, entry.name));
      continue;
    }
    names->push_back(std::move(entry.name));
  }
  return true;
}

bool AccountRootCanTellMissing(platform::FileSystem& files, const std::string& root,
                               const PlayerList& list) {
  std::vector<std::string> folders;
  if (!ListAccountFolders(files, root, &folders)) return false;
  return !folders.empty() || list.Count() == 0;
}

bool CharacterFileExists(platform::FileSystem& files, const std::string& account_folder,
                         const std::string& file_name) {
  const std::string path = platform::JoinPath(account_folder, file_name);
  return !files.IsLink(account_folder) && !files.IsLink(path) && files.FileExists(path);
}

bool DeleteCharacterFile(platform::FileSystem& files, const std::string& account_folder,
                         const std::string& file_name, std::string* error) {
  const std::string path = platform::JoinPath(account_folder, file_name);
  if (!files.FileExists(path) && !files.IsLink(path)) return true;
  return files.RemoveFileInFolder(account_folder, file_name, error);
}

std::string PathTail(const std::string& path) {
  return path.size() <= 11 ? path : path.substr(path.size() - 11);
}

PlayerDatabase::PlayerDatabase(PlayerFileReader& reader, PlayerList& list,
                               const settings::Settings& settings, ui::Controls& controls,
                               ui::StatusLine& status)
    : reader_(reader), list_(list), settings_(settings), controls_(controls), status_(status) {}

platform::FileSystem& PlayerDatabase::files() { return reader_.services().files; }
logs::Logs& PlayerDatabase::logs() { return reader_.services().logs; }

bool PlayerDatabase::Regenerate() {
  if (busy_ || frontend() == nullptr ||
      !frontend()->AskOkCancel(kGenerationTitle, kRegenerateQuestion)) {
    return false;
  }
  // An account root that cannot be read is not an empty one: emptying the list for it
  // would lose every ban duration and reason, and the next saves the backup too.
  const std::string root = AccountRoot(settings_.txtQVServercfgPath);
  std::vector<std::string> folders;
  if (!ListAccountFolders(files(), root, &folders, &logs())) {
    logs().Append(LogId::kHelmError, ": Playerlist generation failed: the account folders in " +
                                         root +
                                         " cannot be read; the player list was kept as it was");
    frontend()->ShowMessage(kGenerationTitle, "The account folders in " + root +
                                                  " cannot be read.  The player list was not "
                                                  "re-generated and is kept as it was.");
    return false;
  }
  busy_ = true;
  TimerPause pause(controls_);
  logs().Append(LogId::kServerActivity, ": Playerlist generation begun");
  for (PlayerRecord& record : list_.InUse()) {
    std::string first_seen = std::move(record.first_seen);
    record.Clear();
    record.first_seen = std::move(first_seen);
  }
  GenerateCore();
  SaveList();
  status_.Set(ui::kGoodToGo);
  SetProgress(0, controls_.Get(kProgress).maximum());
  FillScreenLists();
  logs().Append(LogId::kServerActivity, ": Playerlist generation completed");
  busy_ = false;
  return true;
}

void PlayerDatabase::GenerateAtFirstStart() {
  busy_ = true;
  logs().Append(LogId::kServerActivity, ": Playerlist generation begun");
  GenerateCore();
  logs().Append(LogId::kServerActivity, ": Playerlist generation complete");
  status_.Set("Good to go...");
  SetProgress(0, controls_.Get(kProgress).maximum());
  busy_ = false;
}

int PlayerDatabase::GenerateCore() {
  std::vector<std::string> folders;
  ListAccountFolders(files(), AccountRoot(settings_.txtQVServercfgPath), &folders, &logs());
  if (folders.empty()) return 0;
  int total = static_cast<int>(folders.size());
  int next = 0;
  std::vector<std::string> names;
  for (int f = 0; f < total; ++f) {
    const std::string& folder = folders[static_cast<size_t>(f)];
    SetProgress(f + 1, total);
    status_.Set("Folder " + Number(f + 1) + " of " + Number(total) + ", player " + Number(next));
    if (!ListCharacterFiles(files(), folder, &names, &logs())) {
      logs().Append(LogId::kHelmError, ":  While generating playerlist: Folder " + folder +
                                           " could not be read and was skipped!");
      continue;
    }
    ReportMoreThanFive(folder, static_cast<int>(names.size()), "generating playerlist");
    for (size_t i = 0; i < names.size(); ++i) {
      if (next >= kMaxPlayers) {
        logs().Append(LogId::kHelmError,
                      ":  While generating playerlist: the player list is full, " + names[i] +
                          " and the files after it were not read!");
        return next;
      }
      if (reader_.Read(list_, next, folder, names[i]) == 1) ++next;
      if ((i + 1) % kFilesBetweenEvents == 0 && frontend()) frontend()->DoEvents();
    }
  }
  return next;
}

void PlayerDatabase::Refresh() {
  RemoveMissing();
  AddNewFiles();
  status_.Set(ui::kGoodToGo);
  SetProgress(0, controls_.Get(kProgress).maximum());
}

int PlayerDatabase::RemoveMissing() {
  // Behind an account root that cannot be read (a vanished mount) every file looks gone;
  // removing them all would lose every ban with them.
  const std::string root = AccountRoot(settings_.txtQVServercfgPath);
  if (!list_.At(0)->is_free() && !AccountRootCanTellMissing(files(), root, list_)) {
    logs().Append(LogId::kHelmError, ": The account folders in " + root +
                                         " cannot be read; no player was removed from the list "
                                         "as missing");
    return 0;
  }
  int missing = 0;
  for (int i = 0; i < kMaxPlayers && !list_.At(i)->is_free();) {
    const PlayerRecord& record = *list_.At(i);
    if (CharacterFileExists(files(), record.account_folder, record.file_name)) {
      ++i;
      continue;
    }
    RemoveRecord(i);  // the next record moves into place i
    ++missing;
    status_.Set("Checking for missing .qv files (" + Number(missing) + " missing)");
  }
  if (missing != 0) {
    logs().Append(LogId::kHelmError, ": " + Number(missing) +
                                         " .qv files are missing from database, players were "
                                         "removed from list");
  }
  return missing;
}

int PlayerDatabase::AddNewFiles() {
  status_.Set("Finding and decoding new player files...");
  std::vector<std::string> folders;
  ListAccountFolders(files(), AccountRoot(settings_.txtQVServercfgPath), &folders, &logs());
  int total = static_cast<int>(folders.size());

  // The files the list knows: those of the records before the first one without a file
  // name, which is where a new file goes. One pass builds the set; it grows as records
  // fill, so the search stays as the walk from index 0 would find it.
  std::unordered_set<std::string> known;
  int free_record = 0;
  auto advance = [&] {
    while (free_record < kMaxPlayers && !list_.At(free_record)->file_name.empty()) {
      const PlayerRecord& r = *list_.At(free_record);
      known.insert(FileKey(r.account_folder, r.file_name));
      ++free_record;
    }
  };
  advance();

  int added = 0;
  std::vector<std::string> names;
  for (int f = 0; f < total; ++f) {
    const std::string& folder = folders[static_cast<size_t>(f)];
    SetProgress(f + 1, total);
    status_.Set("Checking folder " + Number(f + 1) + " of " + Number(total) +
                " for new player files");
    if (!ListCharacterFiles(files(), folder, &names, &logs())) continue;  // gone since it was listed
    ReportMoreThanFive(folder, static_cast<int>(names.size()), "serching for new .qv files");
    for (const std::string& name : names) {
      if (known.count(FileKey(folder, name)) != 0) continue;
      if (free_record >= kMaxPlayers) {
        logs().Append(LogId::kHelmError,
                      ":  While serching for new .qv files: the player list "
                      "is full, " +
                          FileKey(folder, name) + " was not read!");
        continue;
      }
      status_.Set("New file found, decoding (folder " + folder + ")");
      if (reader_.Read(list_, free_record, folder, name) == 1) {
        ++added;
        advance();
      }
    }
  }
  // Start-up runs this step on its own: the bar must not stay full after it.
  SetProgress(0, controls_.Get(kProgress).maximum());
  return added;
}

void PlayerDatabase::ReportMoreThanFive(const std::string& folder, int files,
                                        const char* activity) {
  if (files <= kCharacterFilesPerAccount) return;
  logs().Append(LogId::kHelmError,
                std::string(":  While ") + activity + ": Folder " + PathTail(folder) +
                    " contains more than 5 .qv files. QVServer may not be able to read all "
                    "players in this folder!  This message was brought to you by Tollis :)");
}

std::string PlayerDatabase::RemovalLogEntry(int index) {
  const PlayerRecord& removed = *list_.At(index);
  std::string entry = "Player " + removed.name + " is being removed from the playerlist at " +
                      NowText(logs()) + "\r\n";
  entry += "The player's folder is " + removed.account_folder + "\r\n";
  entry += "Other characters on this account are: \r\n";
  for (const PlayerRecord& record : list_.InUse()) {
    if (record.account_folder == removed.account_folder) entry += record.name + "\r\n";
  }
  entry += "\r\n";
  return entry;
}

bool PlayerDatabase::RemoveRecord(int index) {
  if (index < 0 || index >= kMaxPlayers || list_.At(index)->is_free()) return false;
  const std::string& folder = reader_.services().program_folder;
  std::string log_path = platform::JoinPath(folder, kRemovalLogFileName);
  // The new entry, then the old log line by line, go to the temporary file, which then
  // replaces the log in one rename: the old log is never gone while its copy is incomplete.
  std::string text = RemovalLogEntry(index);
  std::string old_log, error;
  if (files().FileExists(log_path) && files().ReadFile(log_path, &old_log, &error)) {
    for (const std::string& line : settings::SplitLines(old_log)) text += line + "\r\n";
  }
  bool written = error.empty() && files().WriteFileDurably(log_path, text, &error);
  if (!written) {
    logs().Append(LogId::kHelmError, ": Could not write the removal log " +
                                         std::string(kRemovalLogFileName) + " (" + error +
                                         "), player " + list_.At(index)->name +
                                         " was removed from the list without its entry");
  }
  return list_.Remove(index);
}

void PlayerDatabase::FillScreenLists() { players::FillScreenLists(controls_, list_, files()); }

bool PlayerDatabase::DeleteCharacter() {
  std::string name = SelectedRow(controls_, "lstPlayers");
  // A removal while a generation lets events run would leave a free record before the one
  // the generation fills next, ending the list there.
  if (busy_ || name.empty() || frontend() == nullptr ||
      !frontend()->AskOkCancel(kDeleteTitle, "DELETE player " + name + "?")) {
    return false;
  }
  int index = list_.FindByName(name);
  if (index == kNoPlayer) return false;
  const PlayerRecord& record = *list_.At(index);
  std::string path = FileKey(record.account_folder, record.file_name);
  std::string error, where;
  const std::string actor = actor_ ? actor_() : "operator";
  safety::Quarantine* quarantine = quarantine_ ? quarantine_() : nullptr;
  if (quarantine != nullptr && files().FileExists(path)) {
    // The quarantine says in the HELM error log why a file stayed.
    const bool moved = quarantine->Begin("Delete Player", "operator", "", actor) &&
                       quarantine->Take(record.account_folder, record.file_name,
                                        EncodePlayerRecord(record), &where);
    if (quarantine->is_open()) quarantine->End();
    if (!moved) {
      logs().Append(LogId::kHelmError,
                    ": Player " + name + " was not deleted and stays in the list");
      return false;
    }
  } else if (!players::DeleteCharacterFile(files(), record.account_folder, record.file_name,
                                           &error)) {
    logs().Append(LogId::kHelmError, ": Could not delete file " + path + " (" + error +
                                         "), player " + name + " stays in the list");
    return false;
  }
  if (journal_ != nullptr) {
    safety::JournalEntry entry{"", where.empty() ? "delete" : "quarantine", actor,
                               platform::BaseName(record.account_folder), name,
                               {{"rule", "Delete Player"}}};
    if (!where.empty()) entry.details.emplace_back("moved to", where);
    journal_->Append(std::move(entry));
  }
  RemoveRecord(index);
  FillScreenLists();
  return true;
}

bool PlayerDatabase::UpdateAll() {
  if (busy_ || controls_.Get("lstPlayers").rows().empty()) return false;
  busy_ = true;
  {
    TimerPause pause(controls_);
    Refresh();
    FillScreenLists();
    int count = list_.Count();
    controls_.Get(kProgress).set_range(0, count);
    // Events may run before each character, so the end of the list is looked at each time.
    for (int i = 0; i < kMaxPlayers && !list_.At(i)->is_free(); ++i) {
      if (frontend()) frontend()->DoEvents();
      if (list_.At(i)->is_free()) break;
      PlayerRecord& record = *list_.At(i);
      SetProgress(i, count);
      status_.Set("Updating information for player " + record.name);
      std::string folder = record.account_folder, file = record.file_name;
      reader_.Read(list_, i, folder, file);
    }
    FillScreenLists();
  }
  SetProgress(0, controls_.Get(kProgress).maximum());
  status_.Set(ui::kGoodToGo);
  busy_ = false;
  return true;
}

int PlayerDatabase::UpdateOne() {
  int index = list_.FindByName(SelectedRow(controls_, "lstPlayers"));
  if (index == kNoPlayer) return kNoPlayer;
  PlayerRecord& record = *list_.At(index);
  std::string folder = record.account_folder, file = record.file_name;
  reader_.Read(list_, index, folder, file);
  ShowPlayerSummary(controls_, record, IsBannedAccount(files(), record.account_folder));
  return index;
}

void PlayerDatabase::SetProgress(int value, int maximum) {
  ui::Control& bar = controls_.Get(kProgress);
  if (bar.maximum() != maximum) bar.set_range(0, maximum);
  controls_.SetValue(kProgress, value);
}

void PlayerDatabase::SaveList() {
  SaveReport report = SavePlayerList(files(), reader_.services().program_folder, status_, list_);
  for (const std::string& warning : report.warnings) logs().Append(LogId::kHelmError, warning);
  if (!report.ok) {
    logs().Append(LogId::kHelmError,
                  ": " + std::string(kSavePlayersFailedStatus) + " " + report.error);
  }
}

}  // namespace helmsman::players
