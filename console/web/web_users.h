// The web console's users: a name, a role that says what the user may do, and a password
// kept only as a salted slow hash (PBKDF2-HMAC-SHA256) in HelmsmanWebUsers.ini in the
// program folder, one line per user:
//
//   NAME:ROLE:ITERATIONS:SALT_HEX:HASH_HEX
//
// The file is written durably and, on POSIX, readable by its owner only (mode 0600); on
// Windows it keeps the program folder's default ACL. A line that cannot be read is passed
// over (and kept as it is when the file is written again), so one damaged line loses no
// other user. Passwords are never logged, stored or put in a message.
#ifndef HELMSMAN_CONSOLE_WEB_WEB_USERS_H_
#define HELMSMAN_CONSOLE_WEB_WEB_USERS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace helmsman::web {

enum class Role { kAdmin, kModerator, kViewer };

// What a request to the web console does. kSelect chooses rows, tabs and list filters (what
// a kick or ban needs first); kAdministration stands for every action only an admin may take
// (users, settings, the server's start and stop, player edits).
enum class Permission { kView, kSelect, kKick, kBan, kUnban, kChat, kBanners, kAdministration };

// admin: everything; moderator: all but administration; viewer: view only.
bool RoleMay(Role role, Permission permission);

// "admin", "moderator", "viewer", and back (exact, lower case).
std::string_view RoleName(Role role);
std::optional<Role> ParseRole(std::string_view name);

inline constexpr char kUsersFileName[] = "HelmsmanWebUsers.ini";
inline constexpr char kFirstAdminPasswordFileName[] = "HelmsmanWebAdminPassword.txt";
inline constexpr char kFirstAdminName[] = "admin";
inline constexpr uint32_t kIterations = 210'000;
// Lines with more iterations than this are refused, so that a changed file cannot make one
// login take minutes.
inline constexpr uint32_t kMaxIterations = 10'000'000;
inline constexpr size_t kSaltBytes = 16;
inline constexpr size_t kHashBytes = 32;
inline constexpr size_t kMaxNameLength = 32;
inline constexpr size_t kMinPasswordBytes = 8;
inline constexpr size_t kMaxPasswordBytes = 256;
inline constexpr size_t kMaxUsers = 1000;
inline constexpr size_t kFirstAdminPasswordLength = 20;

// 1 to 32 printable ASCII characters, no blank and no ':'.
bool IsValidUserName(std::string_view name);
bool IsValidPassword(std::string_view password);

struct WebUser {
  std::string name;
  Role role = Role::kViewer;
};

// The outcome of a change, as helmsman-ctl's exit codes: done, refused (the user exists or
// is unknown, the file cannot be read or written), or a bad request (name, role, password).
enum class Outcome { kDone, kRefused, kBadRequest };

struct Result {
  Outcome outcome = Outcome::kDone;
  std::string message;  // what went wrong; never holds the password
};

// The users file of one program folder. Every call reads the file anew and a change writes
// it back whole, so that two programs on the same folder see each other's changes.
class WebUsers {
 public:
  WebUsers(platform::FileSystem& fs, std::string program_folder);

  std::string path() const;

  Result Add(std::string_view name, std::string_view role, std::string_view password);
  Result Remove(std::string_view name);
  // The users in the file's order. *damaged (when given) gets one text per line passed over
  // ("line 3: ..."). False when the file exists and cannot be read.
  bool List(std::vector<WebUser>* users, std::vector<std::string>* damaged,
            std::string* error) const;
  // The user's role when password is theirs. Takes as long for an unknown user, a password
  // out of bounds or an unreadable file as for a known user: one key derivation.
  std::optional<Role> Verify(std::string_view name, std::string_view password) const;

  enum class FirstAdmin { kExists, kMade, kFailed };
  // When the users file does not exist: makes the user "admin" with a random password of 20
  // URL-safe characters, written first to HelmsmanWebAdminPassword.txt (owner-only) and
  // returned in *password to be shown once. kExists (nothing done) when the file exists.
  FirstAdmin EnsureFirstAdmin(std::string* password, std::string* error);

 private:
  struct Line;
  bool Read(std::vector<Line>* lines, std::string* error) const;
  bool Write(const std::vector<Line>& lines, std::string* error);

  platform::FileSystem& fs_;
  std::string folder_;
};

}  // namespace helmsman::web

#endif  // HELMSMAN_CONSOLE_WEB_WEB_USERS_H_
