#include "console/publishing/web_pages.h"

#include <charconv>
#include <unordered_map>

#include "console/ui/main_window_controls.h"
#include "platform/process.h"

namespace helmsman::publishing {

namespace {

constexpr char kLineEnd[] = "\r\n";

struct PageTexts {
  const char* missing_log;
  const char* missing_status;
  const char* generating_status;
  const char* page_name;  // in this module's own error-log lines
};

const PageTexts& TextsOf(PageKind kind) {
  static const PageTexts online = {kOnlineMissingFilesLog, kOnlineMissingFilesStatus,
                                   kGeneratingOnlineStatus, "online players"};
  static const PageTexts banned = {kBannedMissingFilesLog, kBannedMissingFilesStatus,
                                   kGeneratingBannedStatus, "banned players"};
  return kind == PageKind::kOnline ? online : banned;
}

void Line(std::string* out, std::string_view text) {
  out->append(text);
  out->append(kLineEnd);
}

void Cell(std::string* out, std::string_view css_class, std::string_view text) {
  out->append("<TD CLASS=");
  out->append(css_class);
  out->push_back('>');
  out->append(EscapeCell(text));
  out->append("</TD>");
  out->append(kLineEnd);
}

// The hour label of a stored hour index, or the stored text when it is no index.
std::string HourText(const std::string& stored, const std::vector<std::string>& labels) {
  int hour = -1;
  const char* end = stored.data() + stored.size();
  auto [rest, error] = std::from_chars(stored.data(), end, hour);
  if (error != std::errc() || rest != end || hour < 0 || hour >= static_cast<int>(labels.size())) {
    return stored;
  }
  return labels[hour];
}

// Reads a header or footer file whole; false and *error when it cannot be taken.
bool ReadTemplate(platform::FileSystem& files, const std::string& path, std::string* text,
                  std::string* error) {
  const int64_t size = files.FileSize(path);
  if (size > kMaxTemplateBytes) {
    *error = path + " is larger than " + std::to_string(kMaxTemplateBytes) + " bytes";
    return false;
  }
  return files.ReadFile(path, text, error);
}

struct PageFiles {
  const std::string& header;
  const std::string& footer;
  const std::string& output;
  const std::string& script;
};

// The frame both pages share; rows appends the rows and returns the footer row's count.
void WritePage(PublishingServices& services, PageKind kind, const PageFiles& paths,
               const std::function<int(std::string*)>& rows) {
  const PageTexts& texts = TextsOf(kind);
  if (!services.files.FileExists(paths.header) || !services.files.FileExists(paths.footer)) {
    services.logs.Append(logs::LogId::kHelmError, texts.missing_log);
    services.status.Set(texts.missing_status);
    return;
  }
  services.status.Set(texts.generating_status);
  std::string header, footer, error;
  if (!ReadTemplate(services.files, paths.header, &header, &error) ||
      !ReadTemplate(services.files, paths.footer, &footer, &error)) {
    services.logs.Append(logs::LogId::kHelmError, std::string(": Unable to write the ") +
                                                      texts.page_name + " web page - " + error);
    services.status.Set(ui::kGoodToGo);
    return;
  }
  std::string page;
  page.reserve(header.size() + footer.size() + 4096);
  Line(&page, header);
  const int count = rows(&page);
  logs::Logs& logs = services.logs;
  Line(&page, FooterRow(kind, count, logs.locale().GeneralDateTime(logs.clock().NowLocal())));
  Line(&page, footer);
  if (!services.files.WriteFileDurably(paths.output, page, &error)) {
    services.logs.Append(logs::LogId::kHelmError, std::string(": Unable to write the ") +
                                                      texts.page_name + " web page - " + error);
    services.status.Set(ui::kGoodToGo);
    return;
  }
  StartOperatorScript(services, paths.script);
  services.status.Set(ui::kGoodToGo);
}

}  // namespace

std::string EscapeCell(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    if (c == '<') {
      escaped.append("&lt;");
    } else if (c == '>') {
      escaped.append("&gt;");
    } else {
      escaped.push_back(c);
    }
  }
  return escaped;
}

std::string AccountCellText(std::string_view account_folder) {
  const std::string marker = std::string(kMultiPlayerFolder) + platform::kPathSeparator;
  const size_t at = account_folder.find(marker);
  // Without the marker the position (counted from 1) is 0, and 12 characters on from there
  // is the path's twelfth character.
  const size_t start = at == std::string_view::npos ? marker.size() - 1 : at + marker.size();
  if (start >= account_folder.size()) return "";
  return std::string(account_folder.substr(start));
}

std::string FooterRow(PageKind kind, int count, const std::string& when) {
  return "<TR CLASS=Footer><TD COLSPAN=100 ALIGN=CENTER><I> " + std::to_string(count) +
         (kind == PageKind::kOnline ? " players online, updated <B>"
                                    : " banned players, updated <B>") +
         when + "</B> - Generated by <A HREF=" + kMakerAddress + "><b>" + ui::kMainWindowCaption +
         "</b></A></I></TD></TR>";
}

int AppendOnlineRows(std::span<const std::string> names, const players::PlayerList& list,
                     std::string* out) {
  int written = 0;
  // The first record of each name, so that 1,001 names over 20,000 records cost one pass
  // over the list instead of one per name; emplace keeps the first record of a name.
  // A handful of names is looked up directly.
  const bool indexed = names.size() > 4;
  std::unordered_map<std::string_view, int> first_record;
  if (indexed) {
    const std::span<const players::PlayerRecord> records = list.InUse();
    first_record.reserve(records.size());
    for (int i = 0; i < static_cast<int>(records.size()); ++i) {
      first_record.emplace(records[i].name, i);
    }
  }
  for (const std::string& name : names) {
    if (name.empty()) break;
    int index = players::kNoPlayer;
    if (indexed) {
      auto it = first_record.find(name);
      if (it != first_record.end()) index = it->second;
    } else {
      index = list.FindByName(name);
    }
    const players::PlayerRecord* record = index == players::kNoPlayer ? nullptr : list.At(index);
    Line(out, "<TR>");
    Cell(out, "name", name);
    Cell(out, "rank", record ? record->rank : kNewPlayerCell);
    Cell(out, "system", record ? record->system : kNewPlayerCell);
    Cell(out, "ship", record ? record->ship : kNewPlayerCell);
    Line(out, "</TR>");
    ++written;
  }
  if (written == 0) {
    Line(out, "<TR>");
    for (const char* css_class : {"name", "rank", "system", "ship"}) Cell(out, css_class, "");
    Line(out, "</TR>");
  }
  return written;
}

int AppendBannedRows(const players::PlayerList& list, players::BanMarkers& markers,
                     const std::vector<std::string>& hour_labels, std::string* out) {
  int written = 0;
  for (const players::PlayerRecord& record : list.InUse()) {
    if (!markers.IsBanned(record.account_folder)) continue;
    Line(out, "<TR>");
    Cell(out, "playerfolder", AccountCellText(record.account_folder));
    Cell(out, "name", record.name);
    Cell(out, "rank", record.rank);
    if (!record.ban_until_hour.empty()) {
      Cell(out, "banneduntil",
           HourText(record.ban_until_hour, hour_labels) + " " + record.ban_until_month + "/" +
               record.ban_until_day + "/" + record.ban_until_year);
    } else {
      Cell(out, "banneduntil", kIndefinite);
    }
    Cell(out, "banreason", record.ban_reason.empty() ? kReasonUnspecified : record.ban_reason);
    Line(out, "</TR>");
    ++written;
  }
  return written;
}

void GenerateOnlinePlayersPage(PublishingServices& services, const settings::Settings& s,
                               std::span<const std::string> online_names,
                               const players::PlayerList& list) {
  WritePage(
      services, PageKind::kOnline,
      {s.txtOnlinePlayersWebOutputHeaderPath, s.txtOnlinePlayersWebOutputFooterPath,
       s.txtOnlinePlayersWebOutputOutputPath, s.txtOnlinePlayersWebOutputPostGenerationScript},
      [&](std::string* out) { return AppendOnlineRows(online_names, list, out); });
}

void GenerateBannedPlayersPage(PublishingServices& services, const settings::Settings& s,
                               const players::PlayerList& list, const ui::Controls& controls) {
  WritePage(services, PageKind::kBanned,
            {s.txtBannedPlayersWebOutputHeaderPath, s.txtBannedPlayersWebOutputFooterPath,
             s.txtBannedPlayersWebOutputFilePath, s.txtBannedPlayersWebOutputPostGenerationScript},
            [&](std::string* out) {
              // The footer counts the rows written: the banned list on the "Bans" tab is
              // not rebuilt by the unban check that runs just before, so after an automatic
              // unban it still holds the player whose row is no longer on the page.
              players::BanMarkers markers(services.files);
              return AppendBannedRows(list, markers, controls.Get("cmbBanUntilTime").rows(), out);
            });
}

void StartOperatorScript(PublishingServices& services, const std::string& script) {
  if (script.empty() || !services.files.FileExists(script)) return;
  std::string error;
  if (!services.start_script(platform::ShortPath(script), services.program_folder, &error)) {
    services.logs.Append(logs::LogId::kHelmError,
                         ": Unable to start the script " + script + " - " + error);
  }
}

}  // namespace helmsman::publishing
