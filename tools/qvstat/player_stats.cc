#include "tools/qvstat/player_stats.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "codec/scramble.h"
#include "console/logs/logs.h"
#include "gamefiles/default_name.h"
#include "platform/clock.h"
#include "platform/locale_texts.h"

namespace helmsman::qvstat {

namespace {

constexpr char kLineEnd[] = "\r\n";

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

template <typename Number>
bool ParseNumber(std::string_view text, Number* value) {
  text = Trim(text);
  const char* end = text.data() + text.size();
  auto [rest, error] = std::from_chars(text.data(), end, *value);
  return error == std::errc() && rest == end;
}

// Leading digits (with a sign) of a text, as strtoll reads them; 0 when there are none.
int64_t LeadingInteger(std::string_view text) {
  std::string copy(Trim(text));
  return std::strtoll(copy.c_str(), nullptr, 10);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The low byte of every four-digit group (the game's 16-bit text).
std::string HexText(std::string_view value) {
  std::string text;
  for (size_t at = 2; at + 1 < value.size(); at += 4) {
    const int high = HexDigit(value[at]);
    const int low = HexDigit(value[at + 1]);
    if (high < 0 || low < 0) break;
    text.push_back(static_cast<char>(high * 16 + low));
  }
  return text;
}

std::string Escape(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    if (c == '<') {
      escaped += "&lt;";
    } else if (c == '>') {
      escaped += "&gt;";
    } else {
      escaped.push_back(c);
    }
  }
  return escaped;
}

bool Option(const std::string& name, const std::vector<std::string>& arguments, size_t* at,
            std::optional<int>* value, std::string* error) {
  if (*at + 1 >= arguments.size()) {
    *error = name + " needs a number";
    return false;
  }
  int number = 0;
  const std::string& text = arguments[++*at];
  if (!ParseNumber(text, &number) || number < 0) {
    *error = name + " needs a number of 0 or more, not \"" + text + "\"";
    return false;
  }
  *value = number;
  return true;
}

std::string TimePlayedText(double seconds) {
  const int64_t whole = static_cast<int64_t>(seconds);
  const int64_t minutes = whole / 60 % 60;
  return std::to_string(whole / 3600) + " hours, " + std::to_string(minutes) + " minutes";
}

bool Cheats(const PlayerStats& p, int level) {
  if (level <= 0) return false;
  const double hours = std::max(p.seconds_played / 3600.0, kMinimumHoursPlayed);
  const double scale = 30.0 / level;
  return p.money / hours > kCheatMoneyPerHour * scale ||
         p.kills / hours > kCheatKillsPerHour * scale;
}

bool SeenWithin(const PlayerStats& p, int64_t now, int64_t seconds) {
  return p.last_seen_seconds && now - *p.last_seen_seconds <= seconds;
}

void Cell(std::string* out, const char* css_class, std::string_view text) {
  *out += "<TD CLASS=";
  *out += css_class;
  *out += '>';
  *out += Escape(text);
  *out += "</TD>";
  *out += kLineEnd;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* error) {
  for (size_t at = 0; at < arguments.size(); ++at) {
    const std::string& a = arguments[at];
    bool ok = true;
    if (a == "-top") {
      ok = Option(a, arguments, &at, &options->top, error);
    } else if (a == "-rank") {
      ok = Option(a, arguments, &at, &options->rank, error);
    } else if (a == "-days") {
      ok = Option(a, arguments, &at, &options->days, error);
    } else if (a == "-active") {
      ok = Option(a, arguments, &at, &options->active, error);
    } else if (a == "-cheats") {
      ok = Option(a, arguments, &at, &options->cheats, error);
    } else if (a == "-nice") {
      ok = Option(a, arguments, &at, &options->nice, error);
    } else if (a == "-pos") {
      options->pos = true;
    } else if (a == "--help" || a == "-h") {
      options->help = true;
    } else if ((a == "--root" || a == "--gamedata" || a == "--now") && at + 1 < arguments.size()) {
      const std::string& value = arguments[++at];
      if (a == "--root") {
        options->root = value;
      } else if (a == "--gamedata") {
        options->gamedata = value;
      } else {
        int64_t now = 0;
        if (!ParseNumber(value, &now)) {
          *error = "--now needs seconds since 1970, not \"" + value + "\"";
          return false;
        }
        options->now = now;
      }
    } else if (a == "--root" || a == "--gamedata" || a == "--now") {
      *error = a + " needs a value";
      return false;
    } else {
      *error = "unknown option \"" + a + "\"";
      return false;
    }
    if (!ok) return false;
  }
  return true;
}

void ApplyIniText(std::string_view text, Options* options) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string value(Trim(line.substr(equals + 1)));
    if (key == "root" && options->root.empty()) options->root = value;
    if (key == "gamedata" && options->gamedata.empty()) options->gamedata = value;
  }
}

std::string HelpText() {
  return "usage: qvstat [options]\n"
         "Reads every character file of the game server's account root and writes the HTML\n"
         "table rows of a player statistics page to standard output.\n"
         "\n"
         "  -top N      only the first N players of the table\n"
         "  -rank N     only players at rank N or higher\n"
         "  -days N     only players who have played within the last N days\n"
         "  -active N   highlight (class \"active\") players seen within the last N hours\n"
         "  -cheats N   highlight (class \"cheater\") players earning money or kills too fast;\n"
         "              per hour played more than 1,000,000 x 30/N credits or 120 x 30/N kills\n"
         "  -nice N     pause N milliseconds after every 250 files read\n"
         "  -pos        add the position column (class \"pos\")\n"
         "  --root DIR      the account root (default: \"root = DIR\" in qvstat.ini beside\n"
         "                  the program)\n"
         "  --gamedata DIR  the folder of the GAMEDATA files (default: \"gamedata = DIR\" in\n"
         "                  qvstat.ini, else the current folder)\n"
         "  --now SECONDS   take this moment (seconds since 1970, local time) as now\n"
         "  --help          this text\n"
         "\n"
         "Exit status: 0 rows written, 1 the account root or game data cannot be read,\n"
         "2 bad arguments. Files that cannot be read are skipped with a warning.\n";
}

std::optional<int64_t> ParseSavedTime(std::string_view text) {
  // "M/D/YYYY h:mm:ss AM"
  int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
  const size_t blank = text.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  const std::string_view date = text.substr(0, blank);
  std::string_view time = Trim(text.substr(blank + 1));
  const size_t s1 = date.find('/'), s2 = date.find('/', s1 + 1);
  if (s1 == std::string_view::npos || s2 == std::string_view::npos ||
      !ParseNumber(date.substr(0, s1), &month) ||
      !ParseNumber(date.substr(s1 + 1, s2 - s1 - 1), &day) ||
      !ParseNumber(date.substr(s2 + 1), &year)) {
    return std::nullopt;
  }
  int half = -1;  // -1: 24-hour time, 0 AM, 1 PM
  if (time.size() > 3 &&
      (time.substr(time.size() - 2) == "AM" || time.substr(time.size() - 2) == "PM")) {
    half = time.substr(time.size() - 2) == "PM" ? 1 : 0;
    time = Trim(time.substr(0, time.size() - 2));
  }
  const size_t c1 = time.find(':'), c2 = time.find(':', c1 + 1);
  if (c1 == std::string_view::npos || c2 == std::string_view::npos ||
      !ParseNumber(time.substr(0, c1), &hour) ||
      !ParseNumber(time.substr(c1 + 1, c2 - c1 - 1), &minute) ||
      !ParseNumber(time.substr(c2 + 1), &second)) {
    return std::nullopt;
  }
  if (half >= 0) {
    if (hour < 1 || hour > 12) return std::nullopt;
    hour = hour % 12 + (half == 1 ? 12 : 0);
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || year < 1601 || year > 9999 || hour > 23 ||
      minute > 59 || second > 59 || hour < 0 || minute < 0 || second < 0) {
    return std::nullopt;
  }
  return platform::SecondsFromCivil(platform::CivilTime{year, month, day, hour, minute, second});
}

std::optional<PlayerStats> ReadCharacterText(std::string_view text,
                                             const gamedata::Catalogue& catalogue) {
  PlayerStats p;
  bool named = false, ranked = false, moneyed = false, placed = false, saved = false, timed = false;
  std::string key;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t equals = line.find(" = ");
    if (equals == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 3);
    if (name == "name" && !named) {
      named = true;
      p.name = value == gamefiles::kDefaultCharacterName ? std::string(value) : HexText(value);
    } else if (name == "description" && !saved) {
      saved = true;
      p.last_seen = HexText(value);
      p.last_seen_seconds = ParseSavedTime(p.last_seen);
    } else if (name == "rank" && !ranked) {
      ranked = true;
      p.rank = LeadingInteger(value);
    } else if (name == "money" && !moneyed) {
      moneyed = true;
      p.money = LeadingInteger(value);
    } else if (name == "system" && !placed) {
      placed = true;
      key.assign(value);
      const gamedata::Entry* entry = catalogue.FindByNickname(gamedata::Table::kSystems, key);
      p.system = entry ? entry->displayName : "UNKNOWN SYSTEM (" + key + ")";
    } else if (name == "ship_type_killed") {
      const size_t comma = value.find(',');
      if (comma != std::string_view::npos) p.kills += LeadingInteger(value.substr(comma + 1));
    } else if (name == "total_time_played" && !timed) {
      timed = true;
      p.seconds_played = std::strtod(std::string(value).c_str(), nullptr);
    }
  }
  if (!named || p.name.empty()) return std::nullopt;
  if (!placed) p.system = "UNKNOWN SYSTEM";
  return p;
}

bool ReadAccountRoot(platform::FileSystem& files, const std::string& root,
                     const gamedata::Catalogue& catalogue, const std::function<void()>& pause,
                     ReadReport* report, std::string* error) {
  std::vector<platform::DirEntry> accounts;
  if (!files.ListDirectory(root, &accounts)) {
    *error = "cannot read the account root " + root;
    return false;
  }
  std::string scrambled, plain, read_error;
  std::vector<platform::DirEntry> entries;
  for (const platform::DirEntry& account : accounts) {
    const std::string folder = platform::JoinPath(root, account.name);
    if (account.is_link) {
      report->warnings.push_back("skipped " + folder + ": a link, never followed");
      continue;
    }
    if (!account.is_directory) continue;
    if (!files.ListDirectory(folder, &entries)) {
      report->warnings.push_back("skipped " + folder + ": cannot read the folder");
      continue;
    }
    for (const platform::DirEntry& entry : entries) {
      if (entry.is_directory || !platform::EndsWithIgnoreCase(entry.name, ".qv")) continue;
      const std::string path = platform::JoinPath(folder, entry.name);
      if (entry.is_link) {
        report->warnings.push_back("skipped " + path + ": a link, never followed");
        continue;
      }
      ++report->files;
      if (pause && report->files % kNiceBatch == 0) pause();
      if (files.FileSize(path) > kMaxCharacterFileBytes) {
        report->warnings.push_back("skipped " + path + ": larger than " +
                                   std::to_string(kMaxCharacterFileBytes) + " bytes");
        continue;
      }
      if (!files.ReadFile(path, &scrambled, &read_error)) {
        report->warnings.push_back("skipped " + path + ": " + read_error);
        continue;
      }
      if (!codec::DecodeText(scrambled, &plain)) {
        report->warnings.push_back("skipped " + path + ": not a character file");
        continue;
      }
      std::optional<PlayerStats> stats = ReadCharacterText(plain, catalogue);
      if (!stats) {
        report->warnings.push_back("skipped " + path + ": no character name");
        continue;
      }
      stats->path = path;
      report->players.push_back(std::move(*stats));
    }
  }
  return true;
}

std::string StatisticsRows(std::vector<PlayerStats> players, const Options& options,
                           int64_t now_seconds) {
  std::erase_if(players, [&](const PlayerStats& p) {
    return (options.rank && p.rank < *options.rank) ||
           (options.days && !SeenWithin(p, now_seconds, int64_t{*options.days} * 86400));
  });
  std::sort(players.begin(), players.end(), [](const PlayerStats& a, const PlayerStats& b) {
    if (a.rank != b.rank) return a.rank > b.rank;
    if (a.money != b.money) return a.money > b.money;
    if (a.name != b.name) return a.name < b.name;
    return a.path < b.path;
  });
  if (options.top && players.size() > static_cast<size_t>(*options.top)) {
    players.resize(*options.top);
  }
  std::string out;
  out.reserve(players.size() * 320);
  int place = 0;
  for (const PlayerStats& p : players) {
    std::string css = "player";
    if (options.active && SeenWithin(p, now_seconds, int64_t{*options.active} * 3600))
      css += " active";
    if (options.cheats && Cheats(p, *options.cheats)) css += " cheater";
    out += css == "player" ? "<TR CLASS=player>" : "<TR CLASS=\"" + css + "\">";
    out += kLineEnd;
    if (options.pos) Cell(&out, "pos", std::to_string(++place));
    Cell(&out, "name", p.name);
    Cell(&out, "rank", std::to_string(p.rank));
    Cell(&out, "money", std::to_string(p.money));
    Cell(&out, "kills", std::to_string(p.kills));
    Cell(&out, "timeplayed", TimePlayedText(p.seconds_played));
    Cell(&out, "lastseen", p.last_seen);
    Cell(&out, "system", p.system);
    out += "</TR>";
    out += kLineEnd;
  }
  if (players.empty()) {
    out += "<TR CLASS=player>";
    out += kLineEnd;
    if (options.pos) Cell(&out, "pos", "");
    for (const char* css : {"name", "rank", "money", "kills", "timeplayed", "lastseen", "system"})
      Cell(&out, css, "");
    out += "</TR>";
    out += kLineEnd;
  }
  return out;
}

int RunQVStat(const std::vector<std::string>& arguments, const std::string& program_folder,
              platform::FileSystem& files, std::string* out, std::string* err) {
  Options options;
  std::string error;
  if (!ParseOptions(arguments, &options, &error)) {
    *err += "qvstat: " + error + "\nTry 'qvstat --help'.\n";
    return 2;
  }
  if (options.help) {
    *out += HelpText();
    return 0;
  }
  std::string ini;
  const std::string ini_path =
      platform::JoinPath(program_folder.empty() ? "." : program_folder, kIniFileName);
  if (files.FileExists(ini_path) && files.ReadFile(ini_path, &ini, &error)) {
    ApplyIniText(ini, &options);
  }
  if (options.root.empty()) {
    *err +=
        "qvstat: no account root: give --root DIR, or put \"root = DIR\" into " + ini_path + "\n";
    return 2;
  }
  const std::string gamedata_folder = options.gamedata.empty() ? "." : options.gamedata;
  const std::string systems_path =
      platform::JoinPath(gamedata_folder, gamedata::FileName(gamedata::Table::kSystems));
  std::string systems;
  if (!files.ReadFile(systems_path, &systems, &error)) {
    *err += "qvstat: cannot read the game data: " + error + "\n";
    return 1;
  }
  platform::FakeClock stamp_clock;  // the catalogue's report lines are read, not stamped
  platform::PictureLocaleTexts stamp_texts{"M/d/yyyy", "h:mm:ss tt"};
  logs::Logs logs(stamp_clock, stamp_texts);
  gamedata::Catalogue catalogue;
  catalogue.LoadTable(gamedata::Table::kSystems, systems, logs);
  for (const std::string& line : logs.lines(logs::LogId::kHelmError)) {
    *err += "qvstat: warning: " + line.substr(line.find(": ") + 2) + "\n";
  }
  ReadReport report;
  std::function<void()> pause;
  if (options.nice && *options.nice > 0) {
    const int milliseconds = *options.nice;
    pause = [milliseconds] {
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    };
  }
  if (!ReadAccountRoot(files, options.root, catalogue, pause, &report, &error)) {
    *err += "qvstat: " + error + "\n";
    return 1;
  }
  for (const std::string& warning : report.warnings) *err += "qvstat: warning: " + warning + "\n";
  platform::Clock& clock = platform::SystemClock();
  const int64_t now = options.now ? *options.now : platform::SecondsFromCivil(clock.NowLocal());
  *out += StatisticsRows(std::move(report.players), options, now);
  return 0;
}

}  // namespace helmsman::qvstat
