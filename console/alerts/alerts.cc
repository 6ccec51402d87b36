#include "console/alerts/alerts.h"

#include <algorithm>
#include <utility>

#include "console/settings/text_lines.h"
#include "console/ui/code_page.h"

namespace helmsman::alerts {

namespace {

constexpr char kJsonType[] = "application/json";
constexpr int kBackOffSeconds[] = {1, 2, 4, 8};

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// An address the client takes: http:// or https://, a host, printable ASCII without blanks.
bool IsWebhookUrl(std::string_view url) {
  if (url.size() > kMaxUrlBytes) return false;
  std::string_view rest;
  if (StartsWith(url, "https://")) {
    rest = url.substr(8);
  } else if (StartsWith(url, "http://")) {
    rest = url.substr(7);
  } else {
    return false;
  }
  if (rest.empty() || rest.front() == '/' || rest.front() == ':') return false;
  return std::all_of(url.begin(), url.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

const EventKind* KindOfAction(const std::string& action) {
  for (const EventKind& kind : EventKinds()) {
    if (action == kind.action) return &kind;
  }
  return nullptr;
}

std::string Details(const safety::JournalEntry& entry) {
  std::string text;
  for (const auto& [key, value] : entry.details) {
    text += (text.empty() ? "" : ", ") + key + "=" + value;
  }
  return text;
}

}  // namespace

const std::vector<EventKind>& EventKinds() {
  static const std::vector<EventKind> kinds = {
      {"crash", "server-crash", "the server crashed"},
      {"crash-budget", "crash-budget-spent",
       "the server crashed too often and is not restarted"},
      {"server-started", "server-start", "the server was started"},
      {"server-stopped", "server-stop", "the server was stopped"},
      {"autoban", "autoban", "a player was banned automatically"},
      {"maintenance", "maintenance", "the maintenance cycle is done"},
      {"quarantine-purged", "quarantine-purge", "old quarantine entries were purged"},
  };
  return kinds;
}

AlertSettings::AlertSettings() {
  for (const EventKind& kind : EventKinds()) events.insert(kind.name);
}

AlertSettings ParseAlertSettings(std::string_view text, std::vector<std::string>* problems) {
  AlertSettings settings;
  auto problem = [&](std::string what) {
    if (problems != nullptr) problems->push_back(std::move(what));
  };
  settings::ForEachKeyValue(text, [&](std::string_view key, std::string_view value) {
    if (key == "Webhook") {
      const size_t blank = value.find(' ');
      const std::string_view form = value.substr(0, blank);
      const std::string_view url =
          blank == std::string_view::npos ? std::string_view() : Trim(value.substr(blank + 1));
      if (form != "content" && form != "generic") {
        problem("Webhook: the form is content or generic, not \"" + std::string(form) + "\"");
      } else if (!IsWebhookUrl(url)) {
        problem("Webhook: not an http:// or https:// address");
      } else if (settings.webhooks.size() == kMaxWebhooks) {
        problem("Webhook: more than " + std::to_string(kMaxWebhooks) + " webhooks");
      } else {
        settings.webhooks.push_back(
            {form == "content" ? Form::kContent : Form::kGeneric, std::string(url)});
      }
    } else if (key == "Events") {
      settings.events.clear();
      while (!value.empty()) {
        const size_t comma = value.find(',');
        const std::string name(Trim(value.substr(0, comma)));
        value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
        if (name.empty()) continue;
        const bool known = std::any_of(EventKinds().begin(), EventKinds().end(),
                                       [&](const EventKind& kind) { return name == kind.name; });
        if (known) {
          settings.events.insert(name);
        } else {
          problem("Events: unknown event \"" + name + "\"");
        }
      }
    } else if (key == "ServerTitle") {
      settings.server_title = std::string(value);
    }
  });
  return settings;
}

std::string ContentBody(const std::string& title, const EventKind& kind,
                        const safety::JournalEntry& entry) {
  std::string text = "**" + title + "**: " + kind.what;
  if (!entry.character.empty()) text += " (" + entry.character + ")";
  const std::string details = Details(entry);
  if (!details.empty()) text += ": " + details;
  if (text.size() > kMaxContentBytes) text = text.substr(0, kMaxContentBytes - 3) + "...";
  return "{\"content\":" + ui::JsonText(text) + "}";
}

std::string GenericBody(const std::string& title, const EventKind& kind,
                        const safety::JournalEntry& entry) {
  std::string details;
  for (const auto& [key, value] : entry.details) {
    if (!details.empty()) details += ',';
    details += ui::JsonText(key);
    details += ':';
    details += ui::JsonText(value);
  }
  std::string body = "{\"event\":";
  body += ui::JsonText(kind.name);
  for (const auto& [key, value] : {std::pair<const char*, const std::string*>{"time", &entry.time},
                                   {"server", &title},
                                   {"actor", &entry.actor},
                                   {"account", &entry.account},
                                   {"character", &entry.character}}) {
    body += ",\"";
    body += key;
    body += "\":";
    body += ui::JsonText(*value);
  }
  body += ",\"details\":{";
  body += details;
  body += "}}";
  return body;
}

std::string SchemeAndHost(std::string_view url) {
  const size_t start = url.find("://");
  if (start == std::string_view::npos) return "(no address)";
  const size_t end = url.find_first_of("/?#", start + 3);
  std::string host(url.substr(0, end));
  // user:password@ in front of the host is a secret too.
  const size_t at = host.find('@', start + 3);
  if (at != std::string::npos) host.erase(start + 3, at + 1 - (start + 3));
  return host;
}

Alerts::Alerts(AlertSettings settings, logs::Logs& logs, Post post, Wait wait)
    : settings_(std::move(settings)),
      logs_(logs),
      post_(std::move(post)),
      wait_(std::move(wait)),
      sender_([this] { Send(); }) {}

Alerts::~Alerts() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    queue_.clear();
  }
  wake_.notify_all();
  sender_.join();
}

void Alerts::Take(const safety::JournalEntry& entry) {
  if (settings_.webhooks.empty()) return;
  const EventKind* kind = KindOfAction(entry.action);
  if (kind == nullptr || settings_.events.count(kind->name) == 0) return;
  bool dropped = false;
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty() && !sending_) told_dropping_ = false;
    for (const Webhook& webhook : settings_.webhooks) {
      if (queue_.size() >= kMaxQueued) {
        queue_.pop_front();
        dropped = true;
      }
      queue_.push_back({kind->name, webhook.url, kJsonType,
                        webhook.form == Form::kContent
                            ? ContentBody(settings_.server_title, *kind, entry)
                            : GenericBody(settings_.server_title, *kind, entry)});
    }
  }
  wake_.notify_one();
  if (dropped && !told_dropping_) {
    told_dropping_ = true;
    logs_.Append(logs::LogId::kHelmError,
                 ": Alerts: " + std::to_string(kMaxQueued) +
                     " alerts wait to be sent; the oldest are dropped");
  }
}

void Alerts::ReportFailures() {
  std::vector<std::string> failures;
  {
    std::lock_guard lock(mutex_);
    failures.swap(failures_);
  }
  for (const std::string& failure : failures) logs_.Append(logs::LogId::kHelmError, failure);
}

size_t Alerts::queued() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

bool Alerts::Drain(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return idle_.wait_for(lock, timeout, [this] { return queue_.empty() && !sending_; });
}

void Alerts::Send() {
  for (;;) {
    Delivery delivery;
    {
      std::unique_lock lock(mutex_);
      sending_ = false;
      idle_.notify_all();
      wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
      if (stop_) return;
      delivery = std::move(queue_.front());
      queue_.pop_front();
      sending_ = true;
    }
    Deliver(delivery);
  }
}

void Alerts::Deliver(const Delivery& delivery) {
  std::string why;
  for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
    const platform::HttpPostResult result =
        post_(delivery.url, delivery.content_type, delivery.body);
    if (result.status >= 200 && result.status < 300) return;
    why = result.status == 0 ? result.error : "status " + std::to_string(result.status);
    const bool busy = result.status == 429 || result.status == 503;
    const bool again = result.status == 0 || result.status >= 500 || busy;
    if (!again || attempt == kMaxAttempts) break;
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
    }
    int seconds = kBackOffSeconds[std::min<size_t>(attempt, std::size(kBackOffSeconds)) - 1];
    if (busy && result.retry_after_seconds >= 0) {
      seconds = std::min(result.retry_after_seconds, kMaxRetryAfterSeconds);
    }
    Pause(std::chrono::seconds(seconds));
    std::lock_guard lock(mutex_);
    if (stop_) return;
  }
  std::lock_guard lock(mutex_);
  failures_.push_back(": Alerts: the " + delivery.event + " alert to " +
                      SchemeAndHost(delivery.url) + " was not delivered (" + why + ")");
}

void Alerts::Pause(std::chrono::milliseconds delay) {
  if (wait_) return wait_(delay);
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, delay, [this] { return stop_; });
}

}  // namespace helmsman::alerts
