// The names of the players online at the last players-online update: a fixed table of 1,001
// entries (indexes 0..1000), filled from index 0 and ended by the first empty entry. The
// update fills it; the crash report, the inline scan and the filters read it.
#ifndef HELMSMAN_CONSOLE_SERVER_ONLINE_NAMES_H_
#define HELMSMAN_CONSOLE_SERVER_ONLINE_NAMES_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace helmsman::server {

inline constexpr int kMaxOnlineNames = 1001;

// The longest player line of a "list online" reply: a player ID of up to ten digits, ": ",
// the list row as the server shows it (QVAdmin reads rows into 512-byte buffers, so at most
// 511 characters) and CR LF.
inline constexpr uint32_t kLongestOnlineRow = 10 + 2 + 511 + 2;
// Room for the reply's status line ("list online SUCCESSFUL" and CR LF) and the terminator.
inline constexpr uint32_t kOnlineStatusRoom = 64;
// The stated size of the tracking's "list online": every one of kMaxOnlineNames players at
// the longest row still fits, so no player beyond the first few hundred goes untracked.
inline constexpr uint32_t kListOnlineReplySize =
    kMaxOnlineNames * kLongestOnlineRow + kOnlineStatusRoom;

class OnlineNames {
 public:
  // The entry at index 0..1000 (empty outside the table).
  const std::string& At(int index) const;
  // The names in use: from index 0 up to the first empty entry.
  std::vector<std::string> InUse() const;
  // Replaces the table with names, packed from index 0; empty names are left out so that
  // they cannot end the table early. Returns false, keeping the first 1,001, when there are
  // more than fit.
  bool Assign(const std::vector<std::string>& names);
  // Removes the entry at index; the later names move up by one.
  void RemoveAt(int index);
  void Clear();

 private:
  std::array<std::string, kMaxOnlineNames> names_;
};

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_ONLINE_NAMES_H_
