#include "console/server/crash_report.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace helmsman::server {

namespace {

constexpr char kReportSuffix[] = ".txt";

// "20261211-052007" of "2026-12-11T05:20:07".
std::string Stamp(const std::string& time) {
  std::string stamp;
  for (char c : time) {
    if (c >= '0' && c <= '9') stamp += c;
    if (stamp.size() == 8 && c == 'T') stamp += '-';
  }
  return stamp;
}

std::string Duration(int64_t seconds) {
  if (seconds < 0) return "not known";
  std::string text;
  if (seconds >= 3600) text += std::to_string(seconds / 3600) + " h ";
  if (seconds >= 60) text += std::to_string(seconds / 60 % 60) + " min ";
  return text + std::to_string(seconds % 60) + " s";
}

// A reply on one line: its line ends shown as " | ".
std::string OneLine(std::string_view text) {
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') continue;
    line += text[i] == '\n' ? (i + 1 < text.size() ? " | " : "") : std::string(1, text[i]);
  }
  return line;
}

bool IsReportName(std::string_view name) {
  const std::string_view prefix = kCrashReportPrefix;
  const std::string_view suffix = kReportSuffix;
  return name.size() > prefix.size() + suffix.size() && name.substr(0, prefix.size()) == prefix &&
         name.substr(name.size() - suffix.size()) == suffix;
}

}  // namespace

std::string LastLines(std::string_view text, size_t lines) {
  std::vector<std::string_view> kept;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    kept.push_back(line);
    if (kept.size() > lines) kept.erase(kept.begin());
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  std::string out;
  for (std::string_view line : kept) out += std::string(line) + "\r\n";
  return out;
}

std::string CrashReportText(const CrashFacts& facts) {
  std::string text = "Helmsman crash report\r\nTime: " + facts.time +
                     "\r\nServer ran: " + Duration(facts.ran_seconds) +
                     "\r\nPlayers online: \"" + facts.online + "\"\r\nFailure dialog: " +
                     (facts.dialog_text.empty() ? "(its text could not be read)"
                                                : OneLine(facts.dialog_text)) +
                     "\r\n";
  auto section = [&](const std::string& title, const std::string& path, const std::string& tail) {
    text += "--- " + title + " (" + (path.empty() ? "not known" : path) + ") ---\r\n";
    text += tail.empty() ? "(nothing to show)\r\n" : tail;
  };
  section("The end of the server's error log", facts.error_log_path, facts.error_log_tail);
  section("The end of the cheaters log", facts.cheaters_log_path, facts.cheaters_log_tail);
  text += "--- The last " + std::to_string(facts.commands.size()) +
          " commands sent through QVAdmin (time, command, return value: reply) ---\r\n";
  for (const SentCommand& sent : facts.commands) {
    text += sent.time + " " + OneLine(sent.command) + " -> " + std::to_string(sent.value) + ": " +
            OneLine(sent.reply) + "\r\n";
  }
  return text;
}

bool WriteCrashReport(platform::FileSystem& files, const std::string& folder,
                      const CrashFacts& facts, std::string* name, std::string* error) {
  const std::string base = kCrashReportPrefix + Stamp(facts.time);
  *name = base + kReportSuffix;
  for (int n = 2; files.FileExists(platform::JoinPath(folder, *name)) ||
                  files.IsLink(platform::JoinPath(folder, *name));
       ++n) {
    if (n > 1000) {
      *error = "too many crash reports in the same second";
      return false;
    }
    *name = base + "-" + std::to_string(n) + kReportSuffix;
  }
  if (!files.WriteFileDurably(platform::JoinPath(folder, *name), CrashReportText(facts), error)) {
    return false;
  }
  const std::vector<std::string> reports = ListCrashReports(files, folder);
  for (size_t i = kCrashReportsKept; i < reports.size(); ++i) {
    std::string ignored;
    files.RemoveFileInFolder(folder, reports[i], &ignored);
  }
  return true;
}

std::vector<std::string> ListCrashReports(platform::FileSystem& files, const std::string& folder) {
  std::vector<platform::DirEntry> entries;
  std::vector<std::string> names;
  if (!files.ListDirectory(folder, &entries)) return names;
  for (const platform::DirEntry& entry : entries) {
    if (!entry.is_directory && !entry.is_link && IsReportName(entry.name)) {
      names.push_back(entry.name);
    }
  }
  // "HelmsmanCrash-20261211-052007.txt" before "...-052007-2.txt": newest first, by time, then
  // by number within the same second.
  auto key = [](const std::string& name) {
    const std::string stem = name.substr(0, name.size() - std::string_view(kReportSuffix).size());
    const size_t stamp_end = std::string_view(kCrashReportPrefix).size() + 15;
    int number = 1;
    if (stem.size() > stamp_end + 1) number = std::atoi(stem.c_str() + stamp_end + 1);
    return std::make_pair(stem.substr(0, stamp_end), number);
  };
  std::sort(names.begin(), names.end(),
            [&](const std::string& a, const std::string& b) { return key(a) > key(b); });
  return names;
}

}  // namespace helmsman::server
