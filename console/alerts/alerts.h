// Alerts: what the console tells an operator who is not watching, as webhooks posted with
// JSON to the addresses in "HelmsmanAlerts.ini" in the program folder (beside the six
// settings files, whose layout stays as it is). Lines "Key=Value", CR LF:
//
//   Webhook=content https://chat.example.org/hooks/123/secret   a chat service's incoming
//                                   webhook: {"content":"**TITLE**: what happened ..."}
//   Webhook=generic http://127.0.0.1:9000/helmsman              {"event","time","server",
//                                   "actor","account","character","details":{...}}
//   Events=crash,crash-budget,server-started,server-stopped,autoban,maintenance,quarantine-purged
//   ServerTitle=                    the server's name in the alerts (default: its window title)
//
// Several Webhook lines may be given (at most kMaxWebhooks); no Webhook line, no alerts.
// Events names the events that are sent (all of them when the key is missing). Each event
// is an entry of the action journal: a crash, a spent crash budget, a start or stop of the
// server, an automatic ban (with its rule and evidence), a maintenance cycle (its counts),
// a quarantine purge.
//
// Delivery runs on a thread of its own with a bounded queue, so the console's timer never
// waits for the network: a post that fails without an answer or with a 5xx is tried again
// after 1, 2, 4 and 8 seconds (5 attempts); 429 and 503 wait for their Retry-After (at
// most 5 minutes); a redirect or another 4xx is not tried again. A full queue drops the
// oldest alerts and says so once in the HELM error log, and each alert that could not be
// delivered is said there too, with the address's scheme and host only (a webhook's path
// is a secret).
#ifndef HELMSMAN_CONSOLE_ALERTS_ALERTS_H_
#define HELMSMAN_CONSOLE_ALERTS_ALERTS_H_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "console/logs/logs.h"
#include "console/safety/journal.h"
#include "platform/file_system.h"
#include "platform/http_client.h"

namespace helmsman::alerts {

inline constexpr char kAlertSettingsFileName[] = "HelmsmanAlerts.ini";
inline constexpr size_t kMaxWebhooks = 16;
inline constexpr size_t kMaxUrlBytes = 2048;
// A chat message longer than this is cut (chat services take about 2,000 characters).
inline constexpr size_t kMaxContentBytes = 1900;

enum class Form { kContent, kGeneric };

struct Webhook {
  Form form = Form::kGeneric;
  std::string url;
};

// An event: its name in the settings and the generic form, the journal action it comes
// from, and what the chat form says of it.
struct EventKind {
  const char* name;
  const char* action;
  const char* what;
};
const std::vector<EventKind>& EventKinds();

struct AlertSettings {
  std::vector<Webhook> webhooks;
  std::set<std::string> events;  // by name; every event unless the file says otherwise
  std::string server_title;
  AlertSettings();
};

// The settings of a file's text; *problems (when given) gets one text per line that is not
// taken (a bad address, an unknown form or event, too many webhooks).
AlertSettings ParseAlertSettings(std::string_view text, std::vector<std::string>* problems);

// The two bodies of an alert for a journal entry of kind (title: the server's name).
std::string ContentBody(const std::string& title, const EventKind& kind,
                        const safety::JournalEntry& entry);
std::string GenericBody(const std::string& title, const EventKind& kind,
                        const safety::JournalEntry& entry);

// "https://chat.example.org" of "https://chat.example.org/hooks/123/secret".
std::string SchemeAndHost(std::string_view url);

class Alerts {
 public:
  using Post = std::function<platform::HttpPostResult(
      const std::string& url, const std::string& content_type, const std::string& body)>;
  // The sender's waits between attempts; by default it sleeps (and stops at once when the
  // alerts end). Tests give one that only records.
  using Wait = std::function<void(std::chrono::milliseconds)>;

  static constexpr size_t kMaxQueued = 1000;
  static constexpr int kMaxAttempts = 5;
  static constexpr int kMaxRetryAfterSeconds = 300;

  // logs: the HELM error log, written on the console's thread only (Take, ReportFailures).
  Alerts(AlertSettings settings, logs::Logs& logs, Post post, Wait wait = {});
  // Stops the sender; an alert being sent is given up after its attempt, the rest dropped.
  ~Alerts();
  Alerts(const Alerts&) = delete;
  Alerts& operator=(const Alerts&) = delete;

  // On the console's thread, for every journal entry: queues an alert to every webhook when
  // the entry's action is an event switched on. Never waits for the network.
  void Take(const safety::JournalEntry& entry);
  // On the console's thread (each tick): says in the HELM error log what could not be
  // delivered since the last call.
  void ReportFailures();
  // On the console's thread: the server's name in the alerts from now on.
  void set_server_title(std::string title) { settings_.server_title = std::move(title); }

  size_t queued() const;
  // Waits until nothing is queued or being sent, at most timeout (tests, shut-down).
  bool Drain(std::chrono::milliseconds timeout);

 private:
  struct Delivery {
    std::string event;
    std::string url;
    std::string content_type;
    std::string body;
  };
  void Send();
  void Deliver(const Delivery& delivery);
  void Pause(std::chrono::milliseconds delay);

  AlertSettings settings_;
  logs::Logs& logs_;
  Post post_;
  Wait wait_;
  bool told_dropping_ = false;  // console's thread

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Delivery> queue_;
  std::vector<std::string> failures_;
  bool sending_ = false;
  bool stop_ = false;
  std::thread sender_;  // last: starts once the rest is made
};

}  // namespace helmsman::alerts

#endif  // HELMSMAN_CONSOLE_ALERTS_ALERTS_H_
