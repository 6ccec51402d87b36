#include "console/web/web_users.h"

#include <utility>

#include "platform/hash.h"
#include "platform/random.h"

namespace helmsman::web {
namespace {

// A users file larger than this is not read: 1,000 users take about 130 KB.
constexpr size_t kMaxFileBytes = 1 << 20;

constexpr char kHexDigits[] = "0123456789abcdef";

std::string Hex(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) {
    text += kHexDigits[byte >> 4];
    text += kHexDigits[byte & 0xF];
  }
  return text;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Lower-case hexadecimal digits of exactly bytes bytes.
std::optional<std::string> Unhex(std::string_view text, size_t bytes) {
  if (text.size() != bytes * 2) return std::nullopt;
  std::string out;
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = HexValue(text[i]), low = HexValue(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
  }
  return out;
}

std::optional<uint32_t> ParseIterations(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  return value;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t colon = line.find(':', start);
    fields.push_back(line.substr(start, colon - start));
    if (colon == std::string_view::npos) return fields;
    start = colon + 1;
  }
}

Result Refused(std::string message) { return {Outcome::kRefused, std::move(message)}; }
Result BadRequest(std::string message) { return {Outcome::kBadRequest, std::move(message)}; }

}  // namespace

bool RoleMay(Role role, Permission permission) {
  switch (role) {
    case Role::kAdmin:
      return true;
    case Role::kModerator:
      return permission != Permission::kAdministration;
    case Role::kViewer:
      return permission == Permission::kView;
  }
  return false;
}

std::string_view RoleName(Role role) {
  switch (role) {
    case Role::kAdmin:
      return "admin";
    case Role::kModerator:
      return "moderator";
    case Role::kViewer:
      return "viewer";
  }
  return "viewer";
}

std::optional<Role> ParseRole(std::string_view name) {
  for (Role role : {Role::kAdmin, Role::kModerator, Role::kViewer}) {
    if (name == RoleName(role)) return role;
  }
  return std::nullopt;
}

bool IsValidUserName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength) return false;
  for (char c : name) {
    if (c <= ' ' || c > '~' || c == ':') return false;
  }
  return true;
}

bool IsValidPassword(std::string_view password) {
  return password.size() >= kMinPasswordBytes && password.size() <= kMaxPasswordBytes;
}

// One line of the file: a user, or a damaged line kept as it was.
struct WebUsers::Line {
  std::string text;
  std::string damage;  // empty for a user
  WebUser user;
  uint32_t iterations = 0;
  std::string salt;
  std::string hash;
};

WebUsers::WebUsers(platform::FileSystem& fs, std::string program_folder)
    : fs_(fs), folder_(std::move(program_folder)) {}

std::string WebUsers::path() const { return platform::JoinPath(folder_, kUsersFileName); }

bool WebUsers::Read(std::vector<Line>* lines, std::string* error) const {
  lines->clear();
  if (!fs_.FileExists(path())) return true;
  std::string data;
  if (!fs_.ReadFile(path(), &data, error)) return false;
  if (data.size() > kMaxFileBytes) {
    *error = path() + " is larger than 1 MiB";
    return false;
  }
  std::string_view rest = data;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::string_view text = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (text.empty()) continue;
    Line line;
    line.text = std::string(text);
    const std::vector<std::string_view> fields = Fields(text);
    std::optional<Role> role;
    std::optional<uint32_t> iterations;
    std::optional<std::string> salt, hash;
    if (fields.size() != 5) {
      line.damage = "not five fields NAME:ROLE:ITERATIONS:SALT:HASH";
    } else if (!IsValidUserName(fields[0])) {
      line.damage = "not a user name";
    } else if (!(role = ParseRole(fields[1]))) {
      line.damage = "not a role";
    } else if (!(iterations = ParseIterations(fields[2])) || *iterations < kIterations ||
               *iterations > kMaxIterations) {
      line.damage = "iterations not between 210000 and 10000000";
    } else if (!(salt = Unhex(fields[3], kSaltBytes)) || !(hash = Unhex(fields[4], kHashBytes))) {
      line.damage = "salt or hash not 16 and 32 bytes in hexadecimal";
    } else {
      for (const Line& other : *lines) {
        if (other.damage.empty() && other.user.name == fields[0]) line.damage = "a second line";
      }
    }
    if (line.damage.empty()) {
      line.user = WebUser{std::string(fields[0]), *role};
      line.iterations = *iterations;
      line.salt = std::move(*salt);
      line.hash = std::move(*hash);
    }
    lines->push_back(std::move(line));
  }
  return true;
}

bool WebUsers::Write(const std::vector<Line>& lines, std::string* error) {
  std::string data;
  for (const Line& line : lines) data += line.text + "\n";
  return fs_.WriteOwnerOnlyFileDurably(path(), data, error);
}

Result WebUsers::Add(std::string_view name, std::string_view role, std::string_view password) {
  if (!IsValidUserName(name)) {
    return BadRequest("a user name is 1 to 32 printable ASCII characters without blanks or ':'");
  }
  const std::optional<Role> parsed_role = ParseRole(role);
  if (!parsed_role) return BadRequest("a role is admin, moderator or viewer");
  if (!IsValidPassword(password)) return BadRequest("a password is 8 to 256 bytes long");
  std::vector<Line> lines;
  std::string error;
  if (!Read(&lines, &error)) return Refused(error);
  size_t users = 0;
  for (const Line& line : lines) {
    if (!line.damage.empty()) continue;
    if (line.user.name == name) return Refused("the user " + std::string(name) + " exists");
    ++users;
  }
  if (users >= kMaxUsers) return Refused("there are 1000 users already, as many as there may be");
  Line line;
  line.salt.resize(kSaltBytes);
  if (!platform::RandomBytes(line.salt.data(), kSaltBytes)) {
    return Refused("the system gave no random bytes for the salt");
  }
  if (!platform::Pbkdf2HmacSha256(password, line.salt, kIterations, kHashBytes, &line.hash)) {
    return Refused("the system could not hash the password");
  }
  line.text = std::string(name) + ":" + std::string(RoleName(*parsed_role)) + ":" +
              std::to_string(kIterations) + ":" + Hex(line.salt) + ":" + Hex(line.hash);
  lines.push_back(std::move(line));
  if (!Write(lines, &error)) return Refused(error);
  return {};
}

Result WebUsers::Remove(std::string_view name) {
  if (!IsValidUserName(name)) {
    return BadRequest("a user name is 1 to 32 printable ASCII characters without blanks or ':'");
  }
  std::vector<Line> lines;
  std::string error;
  if (!Read(&lines, &error)) return Refused(error);
  for (auto it = lines.begin(); it != lines.end(); ++it) {
    if (it->damage.empty() && it->user.name == name) {
      lines.erase(it);
      if (!Write(lines, &error)) return Refused(error);
      return {};
    }
  }
  return Refused("no user " + std::string(name));
}

bool WebUsers::List(std::vector<WebUser>* users, std::vector<std::string>* damaged,
                    std::string* error) const {
  users->clear();
  if (damaged) damaged->clear();
  std::vector<Line> lines;
  if (!Read(&lines, error)) return false;
  int number = 0;
  for (const Line& line : lines) {
    ++number;
    if (line.damage.empty()) {
      users->push_back(line.user);
    } else if (damaged) {
      damaged->push_back("line " + std::to_string(number) + ": " + line.damage);
    }
  }
  return true;
}

std::optional<Role> WebUsers::Verify(std::string_view name, std::string_view password) const {
  // An unknown user is checked against a hash nobody's password gives, with the same
  // iterations, so that the time taken does not tell which names exist.
  static const std::string kNobodySalt(kSaltBytes, '\x5a');
  static const std::string kNobodyHash(kHashBytes, '\0');
  std::vector<Line> lines;
  std::string error;
  const Line* found = nullptr;
  if (Read(&lines, &error)) {
    for (const Line& line : lines) {
      if (line.damage.empty() && line.user.name == name) found = &line;
    }
  }
  std::string key;
  const bool derived = platform::Pbkdf2HmacSha256(
      password.substr(0, kMaxPasswordBytes + 1), found ? found->salt : kNobodySalt,
      found ? found->iterations : kIterations, kHashBytes, &key);
  const bool same = derived && platform::ConstantTimeEqual(key, found ? found->hash : kNobodyHash);
  if (found == nullptr || !same || !IsValidPassword(password)) return std::nullopt;
  return found->user.role;
}

WebUsers::FirstAdmin WebUsers::EnsureFirstAdmin(std::string* password, std::string* error) {
  password->clear();
  if (fs_.FileExists(path())) return FirstAdmin::kExists;
  // 64 characters: each random byte's low six bits pick one without bias.
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  unsigned char bytes[kFirstAdminPasswordLength];
  if (!platform::RandomBytes(bytes, sizeof bytes)) {
    *error = "the system gave no random bytes for the first admin's password";
    return FirstAdmin::kFailed;
  }
  std::string made;
  for (unsigned char byte : bytes) made += kAlphabet[byte & 63];
  // The password file first: an admin whose password went nowhere could never log in.
  const std::string password_path = platform::JoinPath(folder_, kFirstAdminPasswordFileName);
  if (!fs_.WriteOwnerOnlyFileDurably(password_path, made + "\n", error)) {
    return FirstAdmin::kFailed;
  }
  const Result added = Add(kFirstAdminName, RoleName(Role::kAdmin), made);
  if (added.outcome != Outcome::kDone) {
    *error = added.message;
    return FirstAdmin::kFailed;
  }
  *password = std::move(made);
  return FirstAdmin::kMade;
}

}  // namespace helmsman::web
