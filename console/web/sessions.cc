#include "console/web/sessions.h"

#include <chrono>
#include <utility>

#include "platform/hash.h"
#include "platform/random.h"

namespace helmsman::web {
namespace {

bool IsSecretText(std::string_view text) {
  if (text.size() != kSessionSecretBytes * 2) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

// RFC 6265's cookie-octet: visible ASCII but '"', ',', ';' and '\'.
bool IsCookieOctet(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x21 && byte <= 0x7E && c != '"' && c != ',' && c != ';' && c != '\\';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string CookieAttributes(bool tls) {
  return tls ? "; Path=/; HttpOnly; SameSite=Strict; Secure"
             : "; Path=/; HttpOnly; SameSite=Strict";
}

}  // namespace

int64_t SteadySeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Sessions.

Sessions::Sessions(std::function<int64_t()> now_seconds, size_t max_sessions)
    : now_(std::move(now_seconds)), max_sessions_(max_sessions == 0 ? 1 : max_sessions) {}

bool Sessions::Expired(const Entry& entry, int64_t now) const {
  return now - entry.last_seen >= kSessionIdleSeconds;
}

Sessions::Entry* Sessions::Live(std::string_view id) {
  // The length and the digits are no secret; what does not look like an id is never hashed.
  if (!IsSecretText(id)) return nullptr;
  const std::string key = platform::Sha256Hex(id);
  if (key.empty()) return nullptr;
  const auto it = sessions_.find(key);
  if (it == sessions_.end()) return nullptr;
  if (Expired(it->second, now_())) {
    sessions_.erase(it);
    return nullptr;
  }
  return &it->second;
}

void Sessions::MakeRoom() {
  if (sessions_.size() < max_sessions_) return;
  Sweep();
  while (sessions_.size() >= max_sessions_) {
    auto idlest = sessions_.begin();
    for (auto it = sessions_.begin(); it != sessions_.end(); ++it)
      if (it->second.last_use < idlest->second.last_use) idlest = it;
    sessions_.erase(idlest);
  }
}

std::optional<NewSession> Sessions::Login(std::string_view user, Role role) {
  NewSession session{platform::RandomHex(kSessionSecretBytes),
                     platform::RandomHex(kSessionSecretBytes)};
  if (!IsSecretText(session.id) || !IsSecretText(session.csrf_token)) return std::nullopt;
  std::string key = platform::Sha256Hex(session.id);
  if (key.empty()) return std::nullopt;
  MakeRoom();
  sessions_[std::move(key)] = Entry{std::string(user), role, session.csrf_token, now_(), ++uses_};
  return session;
}

std::optional<SessionView> Sessions::Find(std::string_view id) {
  Entry* entry = Live(id);
  if (entry == nullptr) return std::nullopt;
  entry->last_seen = now_();
  entry->last_use = ++uses_;
  return SessionView{entry->user, entry->role, entry->csrf_token};
}

bool Sessions::Logout(std::string_view id) {
  if (!IsSecretText(id)) return false;
  return sessions_.erase(platform::Sha256Hex(id)) > 0;
}

bool Sessions::CheckCsrf(std::string_view id, std::string_view token) {
  const Entry* entry = Live(id);
  return entry != nullptr && platform::ConstantTimeEqual(entry->csrf_token, token);
}

size_t Sessions::RemoveUser(std::string_view user) {
  return std::erase_if(sessions_, [&](const auto& item) { return item.second.user == user; });
}

size_t Sessions::Sweep() {
  const int64_t now = now_();
  return std::erase_if(sessions_, [&](const auto& item) { return Expired(item.second, now); });
}

// LoginLimiter.

LoginLimiter::LoginLimiter(std::function<int64_t()> now_seconds, size_t max_addresses)
    : now_(std::move(now_seconds)), max_addresses_(max_addresses == 0 ? 1 : max_addresses) {}

LoginLimiter::Count* LoginLimiter::Current(std::string_view address, int64_t now) {
  const auto it = failures_.find(std::string(address.substr(0, kMaxLoginAddressBytes)));
  if (it == failures_.end()) return nullptr;
  if (now - it->second.since >= kLoginWindowSeconds) {
    failures_.erase(it);
    return nullptr;
  }
  return &it->second;
}

bool LoginLimiter::Allowed(std::string_view address) { return RetryAfterSeconds(address) == 0; }

int64_t LoginLimiter::RetryAfterSeconds(std::string_view address) {
  const int64_t now = now_();
  const Count* count = Current(address, now);
  if (count == nullptr || count->failures < kLoginFailuresPerMinute) return 0;
  const int64_t left = count->since + kLoginWindowSeconds - now;
  return left < 1 ? 1 : left;
}

void LoginLimiter::MakeRoom(int64_t now) {
  if (failures_.size() < max_addresses_) return;
  std::erase_if(failures_,
                [&](const auto& item) { return now - item.second.since >= kLoginWindowSeconds; });
  while (failures_.size() >= max_addresses_) {
    auto oldest = failures_.begin();
    for (auto it = failures_.begin(); it != failures_.end(); ++it)
      if (it->second.since < oldest->second.since) oldest = it;
    failures_.erase(oldest);
  }
}

void LoginLimiter::Failed(std::string_view address) {
  const int64_t now = now_();
  if (Count* count = Current(address, now)) {
    // Counting past the limit would change nothing but could, endlessly, overflow.
    if (count->failures < kLoginFailuresPerMinute) ++count->failures;
    return;
  }
  MakeRoom(now);
  failures_[std::string(address.substr(0, kMaxLoginAddressBytes))] = Count{now, 1};
}

void LoginLimiter::Succeeded(std::string_view address) {
  failures_.erase(std::string(address.substr(0, kMaxLoginAddressBytes)));
}

// Cookies.

std::string SessionCookie(std::string_view id, bool tls) {
  if (id.empty()) return "";
  for (char c : id)
    if (!IsCookieOctet(c)) return "";
  return std::string(kSessionCookieName) + "=" + std::string(id) + CookieAttributes(tls);
}

std::string ExpiredSessionCookie(bool tls) {
  return std::string(kSessionCookieName) + "=; Max-Age=0" + CookieAttributes(tls);
}

std::optional<std::string> CookieValue(std::string_view header, std::string_view name) {
  if (header.size() > kMaxCookieHeaderBytes || name.empty()) return std::nullopt;
  while (!header.empty()) {
    const size_t semicolon = header.find(';');
    const std::string_view pair = header.substr(0, semicolon);
    header =
        semicolon == std::string_view::npos ? std::string_view() : header.substr(semicolon + 1);
    const size_t equals = pair.find('=');
    if (equals == std::string_view::npos || Trim(pair.substr(0, equals)) != name) continue;
    std::string_view value = Trim(pair.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    return std::string(value);
  }
  return std::nullopt;
}

}  // namespace helmsman::web
