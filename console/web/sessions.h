// The web console's logins: sessions with their CSRF tokens, the limit on failed logins per
// client address, and the text of the session cookie.
//
// A session id and its CSRF token are each 32 bytes from the system's random source, written
// as 64 lower-case hexadecimal digits. The id is kept only as its SHA-256, which is the
// lookup key, so a lookup compares hashes and never the secret itself; the CSRF token is
// compared in constant time. A session ends after 30 minutes without a request. Ids and
// tokens are secrets: never log them or put them in a message.
//
// None of these classes lock: they live on the console's event loop, where the web server's
// threads post every request.
#ifndef HELMSMAN_CONSOLE_WEB_SESSIONS_H_
#define HELMSMAN_CONSOLE_WEB_SESSIONS_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "console/web/web_users.h"

namespace helmsman::web {

inline constexpr size_t kSessionSecretBytes = 32;
inline constexpr int64_t kSessionIdleSeconds = 30 * 60;
inline constexpr size_t kMaxSessions = 1000;

inline constexpr int kLoginFailuresPerMinute = 5;
inline constexpr int64_t kLoginWindowSeconds = 60;
inline constexpr size_t kMaxLoginAddresses = 10'000;
// Longer address texts are cut to this: an IPv6 address with its zone fits.
inline constexpr size_t kMaxLoginAddressBytes = 64;

inline constexpr char kSessionCookieName[] = "helmsman_session";
// A Cookie header longer than this is not read (no cookie found).
inline constexpr size_t kMaxCookieHeaderBytes = 8192;

// Seconds of the machine's steady clock (it never goes back), for the web server; tests give
// the classes below a time of their own.
int64_t SteadySeconds();

struct NewSession {
  std::string id;
  std::string csrf_token;
};

struct SessionView {
  std::string user;
  Role role = Role::kViewer;
  std::string csrf_token;  // for a page that was reloaded; a secret like the id
};

class Sessions {
 public:
  // now_seconds: a steady time in seconds. At most max_sessions live at once.
  explicit Sessions(std::function<int64_t()> now_seconds, size_t max_sessions = kMaxSessions);

  // A new session of user. When max_sessions are live, the expired ones end and, if none
  // was, the one idle longest. nullopt when the system's random source fails.
  std::optional<NewSession> Login(std::string_view user, Role role);
  // The session of id, whose idle time starts again. nullopt for an unknown or malformed id
  // and for a session idle 30 minutes or more, which ends here.
  std::optional<SessionView> Find(std::string_view id);
  // False when there was no such session.
  bool Logout(std::string_view id);
  // True when id is a live session and token is its CSRF token. Does not count as activity.
  bool CheckCsrf(std::string_view id, std::string_view token);
  // Ends every session of user (exact name); returns how many.
  size_t RemoveUser(std::string_view user);
  // Ends the sessions idle 30 minutes or more; returns how many.
  size_t Sweep();

  size_t size() const { return sessions_.size(); }

 private:
  struct Entry {
    std::string user;
    Role role = Role::kViewer;
    std::string csrf_token;
    int64_t last_seen = 0;
    uint64_t last_use = 0;  // order of use, to tell the idlest apart within a second
  };
  using Map = std::unordered_map<std::string, Entry>;

  Entry* Live(std::string_view id);
  bool Expired(const Entry& entry, int64_t now) const;
  void MakeRoom();

  std::function<int64_t()> now_;
  size_t max_sessions_;
  uint64_t uses_ = 0;
  Map sessions_;  // key: SHA-256 hex of the id
};

// Failed logins per client address: after 5 failures within a minute (counted from the
// first), the address may not try again until that minute has passed, and the web server
// answers 429. One address's success clears its own count only.
class LoginLimiter {
 public:
  explicit LoginLimiter(std::function<int64_t()> now_seconds,
                        size_t max_addresses = kMaxLoginAddresses);

  // Whether address may try a login now; ask before checking the password.
  bool Allowed(std::string_view address);
  // 0 when address may try now, else the whole seconds until it may (at least 1).
  int64_t RetryAfterSeconds(std::string_view address);
  void Failed(std::string_view address);
  void Succeeded(std::string_view address);

  // Addresses tracked. At most max_addresses: past that, the ones whose minute is over are
  // dropped and, if none was, the one whose minute began first.
  size_t size() const { return failures_.size(); }

 private:
  struct Count {
    int64_t since = 0;
    int failures = 0;
  };
  Count* Current(std::string_view address, int64_t now);
  void MakeRoom(int64_t now);

  std::function<int64_t()> now_;
  size_t max_addresses_;
  std::unordered_map<std::string, Count> failures_;
};

// "helmsman_session=ID; Path=/; HttpOnly; SameSite=Strict", with "; Secure" under TLS. ""
// when id holds a character a cookie value may not (a blank, '"', ',', ';', '\', a control
// character or a non-ASCII byte), so no id can add to the header.
std::string SessionCookie(std::string_view id, bool tls);
// The cookie that makes the browser forget the session: empty, with Max-Age=0.
std::string ExpiredSessionCookie(bool tls);
// The value of the first cookie called name (exact, case-sensitive) in a Cookie header
// ("a=1; b=2"), without the double quotes around it if any. nullopt when there is none or the
// header is longer than kMaxCookieHeaderBytes. Any bytes may come in.
std::optional<std::string> CookieValue(std::string_view header, std::string_view name);

}  // namespace helmsman::web

#endif  // HELMSMAN_CONSOLE_WEB_SESSIONS_H_
