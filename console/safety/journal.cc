#include "console/safety/journal.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

#include "console/ui/code_page.h"

namespace helmsman::safety {

namespace {

using logs::LogId;

void AppendMember(std::string* out, std::string_view key, std::string_view value, bool first) {
  if (!first) out->push_back(',');
  *out += ui::JsonText(key);
  out->push_back(':');
  *out += ui::JsonText(value);
}

// Reads the flat JSON the journal writes: an object whose values are texts, and one member,
// "details", that is an object of texts. Anything else is not a journal line.
class LineParser {
 public:
  explicit LineParser(std::string_view text) : text_(text) {}

  std::optional<JournalEntry> Entry() {
    JournalEntry entry;
    bool ok = Object([&](const std::string& key) {
      if (key == "details") {
        return Object([&](const std::string& detail) {
          std::string value;
          if (!Text(&value)) return false;
          entry.details.emplace_back(Local(detail), Local(value));
          return true;
        });
      }
      std::string value;
      if (!Text(&value)) return false;
      if (key == "time") entry.time = Local(value);
      if (key == "action") entry.action = Local(value);
      if (key == "actor") entry.actor = Local(value);
      if (key == "account") entry.account = Local(value);
      if (key == "character") entry.character = Local(value);
      return true;
    });
    Blanks();
    if (!ok || at_ != text_.size() || entry.time.empty() || entry.action.empty()) {
      return std::nullopt;
    }
    return entry;
  }

 private:
  static std::string Local(const std::string& utf8) { return ui::Utf8ToWindows1252(utf8); }

  void Blanks() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n')) {
      ++at_;
    }
  }
  bool Take(char c) {
    Blanks();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  // '{' then "key": member ... '}'; member reads the value after the colon.
  template <typename Member>
  bool Object(Member member) {
    if (++depth_ > 2 || !Take('{')) return false;
    if (!Take('}')) {
      do {
        std::string key;
        Blanks();
        if (!Text(&key) || !Take(':')) return false;
        Blanks();
        if (!member(key)) return false;
      } while (Take(','));
      if (!Take('}')) return false;
    }
    --depth_;
    return true;
  }

  bool Hex4(unsigned* value) {
    if (text_.size() - at_ < 4) return false;
    *value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      *value <<= 4;
      if (c >= '0' && c <= '9') {
        *value |= static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        *value |= static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        *value |= static_cast<unsigned>(c - 'A' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  static void PutUtf8(std::string* out, unsigned code) {
    if (code < 0x80) {
      out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (code >> 6)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | (code >> 12)));
      out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | (code >> 18)));
      out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }

  bool Text(std::string* out) {
    if (at_ >= text_.size() || text_[at_] != '"') return false;
    ++at_;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out->push_back(c);
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char e = text_[at_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out->push_back(e);
          break;
        case 'b':
          out->push_back('\b');
          break;
        case 'f':
          out->push_back('\f');
          break;
        case 'n':
          out->push_back('\n');
          break;
        case 'r':
          out->push_back('\r');
          break;
        case 't':
          out->push_back('\t');
          break;
        case 'u': {
          unsigned code = 0;
          if (!Hex4(&code)) return false;
          if (code >= 0xD800 && code < 0xDC00) {  // a pair of halves
            unsigned low = 0;
            if (text_.substr(at_, 2) != "\\u") return false;
            at_ += 2;
            if (!Hex4(&low) || low < 0xDC00 || low >= 0xE000) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          } else if (code >= 0xDC00 && code < 0xE000) {
            return false;
          }
          PutUtf8(out, code);
          break;
        }
        default:
          return false;
      }
    }
    return false;  // the line ends inside the text
  }

  std::string_view text_;
  size_t at_ = 0;
  int depth_ = 0;
};

}  // namespace

std::string JournalEntry::Detail(std::string_view key) const {
  for (const auto& [name, value] : details) {
    if (name == key) return value;
  }
  return "";
}

std::string JournalLine(const JournalEntry& entry) {
  std::string line = "{";
  AppendMember(&line, "time", entry.time, true);
  AppendMember(&line, "action", entry.action, false);
  AppendMember(&line, "actor", entry.actor, false);
  AppendMember(&line, "account", entry.account, false);
  AppendMember(&line, "character", entry.character, false);
  if (!entry.details.empty()) {
    line += ",\"details\":{";
    bool first = true;
    for (const auto& [key, value] : entry.details) {
      AppendMember(&line, key, value, first);
      first = false;
    }
    line.push_back('}');
  }
  line += "}\n";
  return line;
}

std::optional<JournalEntry> ParseJournalLine(std::string_view line) {
  return LineParser(line).Entry();
}

std::string JournalTime(const platform::CivilTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

Journal::Journal(platform::FileSystem& files, std::string folder, logs::Logs& logs,
                 int64_t rotate_bytes, int keep)
    : files_(files),
      folder_(std::move(folder)),
      logs_(logs),
      rotate_bytes_(rotate_bytes),
      keep_(keep < 0 ? 0 : keep) {}

std::string Journal::FilePath(int rotation) const {
  if (rotation == 0) return platform::JoinPath(folder_, kJournalFileName);
  return platform::JoinPath(folder_, "HelmsmanJournal." + std::to_string(rotation) + ".jsonl");
}

bool Journal::Rotate(std::string* error) {
  files_.RemoveFile(FilePath(keep_));
  for (int i = keep_ - 1; i >= 1; --i) {
    if (files_.FileExists(FilePath(i)) && !files_.RenameFile(FilePath(i), FilePath(i + 1), error)) {
      return false;
    }
  }
  if (keep_ == 0) {
    files_.RemoveFile(FilePath());
  } else if (!files_.RenameFile(FilePath(), FilePath(1), error)) {
    return false;
  }
  size_ = 0;
  return true;
}

void Journal::Append(JournalEntry entry) {
  if (entry.time.empty()) entry.time = JournalTime(logs_.clock().NowLocal());
  pending_ += JournalLine(entry);
  // A listener may remove itself or another: the ones left are looked up anew.
  for (auto it = listeners_.begin(); it != listeners_.end();) {
    const int id = it->first;
    const std::function<void(const JournalEntry&)> listener = it->second;
    listener(entry);
    it = listeners_.upper_bound(id);
  }
  if (pending_.size() >= kFlushBytes) Flush();
}

int Journal::AddListener(std::function<void(const JournalEntry&)> listener) {
  const int id = next_listener_++;
  listeners_[id] = std::move(listener);
  return id;
}

void Journal::RemoveListener(int id) { listeners_.erase(id); }

bool Journal::Flush() {
  if (pending_.empty()) return true;
  const std::string path = FilePath();
  std::string error;
  bool ok = true;
  std::string lead;
  if (size_ < 0) {
    size_ = files_.FileExists(path) ? files_.FileSize(path) : 0;
    std::string text;
    // A line cut short by a crash stays as it is; the next one starts on a line of its own.
    if (size_ > 0 && files_.ReadFile(path, &text, nullptr) && !text.empty() && text.back() != '\n') {
      lead = "\n";
    }
    if (size_ < 0) size_ = 0;
  }
  if (size_ > 0 && size_ + static_cast<int64_t>(pending_.size()) > rotate_bytes_) {
    ok = Rotate(&error);
    lead.clear();
  }
  if (ok) ok = files_.AppendFileDurably(path, lead + pending_, &error);
  if (ok) {
    size_ += static_cast<int64_t>(lead.size() + pending_.size());
    pending_.clear();
    failing_ = false;
    return true;
  }
  size_ = -1;  // looked at again next time
  if (pending_.size() > kKeptBytes) {
    const size_t cut = pending_.find('\n', pending_.size() - kKeptBytes);
    pending_.erase(0, cut == std::string::npos ? pending_.size() : cut + 1);
  }
  if (!failing_) {
    logs_.Append(LogId::kHelmError, ": The action journal " + path + " could not be written (" +
                                        error + "); its newest entries wait in memory until it can be");
  }
  failing_ = true;
  return false;
}

namespace {

// Whether text stands in a line exactly as it is held (printable ASCII that JSON writes as
// it is), so that a line without it can be passed over without parsing it.
bool PlainInLine(const std::string& text) {
  for (char c : text) {
    if (c < 0x20 || c > 0x7e || c == '"' || c == '\\') return false;
  }
  return true;
}

}  // namespace

std::vector<JournalEntry> Journal::Read(const JournalFilter& filter) {
  Flush();
  // The newest file first and each from its end, so that the last few entries of a player
  // cost a look at the end of the journal, not all of it.
  const std::string& wanted = !filter.character.empty() ? filter.character : filter.account;
  const bool prefilter = !wanted.empty() && PlainInLine(wanted);
  std::vector<JournalEntry> entries;
  for (int rotation = 0; rotation <= keep_; ++rotation) {
    if (filter.last > 0 && entries.size() >= filter.last) break;
    std::string text;
    if (!files_.FileExists(FilePath(rotation)) ||
        !files_.ReadFile(FilePath(rotation), &text, nullptr)) {
      continue;
    }
    size_t end = text.size();
    while (end > 0 && (filter.last == 0 || entries.size() < filter.last)) {
      const size_t newline = end >= 2 ? text.rfind('\n', end - 2) : std::string::npos;
      const size_t at = newline == std::string::npos ? 0 : newline + 1;
      std::string_view line = std::string_view(text).substr(at, end - at);
      if (line.ends_with('\n')) line.remove_suffix(1);
      end = at;
      if (prefilter && line.find(wanted) == std::string_view::npos) continue;
      std::optional<JournalEntry> entry = ParseJournalLine(line);
      if (!entry) continue;
      if (!filter.character.empty() && entry->character != filter.character) continue;
      if (!filter.account.empty() && entry->account != filter.account) continue;
      if (!filter.since.empty() && entry->time < filter.since) continue;
      entries.push_back(std::move(*entry));
    }
  }
  std::reverse(entries.begin(), entries.end());
  return entries;
}

}  // namespace helmsman::safety
