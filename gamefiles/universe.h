// The demo universe's accounts: an account root with "QVServer.cfg" and one folder per
// account holding a "name" file, one to five scrambled ".qv" character files and, on a few
// accounts, a "banned" file. Every character uses only the catalogue's systems, bases, ships
// and items (unless unknown equipment is asked for), so the console can read them all.
#ifndef HELMSMAN_GAMEFILES_UNIVERSE_H_
#define HELMSMAN_GAMEFILES_UNIVERSE_H_

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "gamefiles/catalogue.h"
#include "gamefiles/character_sheet.h"
#include "gamefiles/splitmix.h"
#include "platform/file_system.h"

namespace helmsman::gamefiles {

// Invents characters from a catalogue. Needs at least one system, ship, gun, shield, power
// generator, engine, scanner and tractor beam; other tables may be empty.
class CharacterFactory {
 public:
  explicit CharacterFactory(const DemoCatalogue& catalogue);

  // Whether the catalogue has what every character needs; else *error names what is missing.
  bool Usable(std::string* error) const;

  // A character last saved within the year before now_seconds. With unknown_equipment_percent
  // above 0, that share of characters carries one item whose hash code no table holds.
  CharacterSheet Make(SplitMix64& rng, int64_t now_seconds, int unknown_equipment_percent) const;

 private:
  void Equip(SplitMix64& rng, CharacterSheet* sheet) const;
  void FillHold(SplitMix64& rng, CharacterSheet* sheet) const;
  void FillHistory(SplitMix64& rng, CharacterSheet* sheet) const;

  const DemoCatalogue& catalogue_;
  std::vector<std::string> systems_;
  std::map<std::string, std::vector<std::string>> bases_by_system_;
  std::vector<std::string> all_bases_;
  std::vector<std::string> visits_;
  std::vector<std::string> gates_;
  std::set<std::string> known_codes_;
};

// The fewest non-empty lines a character file has; the console rejects shorter ones.
inline constexpr int kMinimumCharacterLines = 49;

// A fixed moment derived from the seed: midday of a day in 2025.
int64_t DefaultReferenceTime(uint64_t seed);

// Reads "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM:SS" as seconds since the epoch.
bool ParseReferenceTime(const std::string& text, int64_t* seconds);

struct AccountsOptions {
  uint64_t seed = 1;
  int accounts = 100;
  std::string root;  // the account root; created when missing
  int64_t now_seconds = 0;
  int characters_per_account = 0;  // 1 to 5; 0 for a random count of 1 to 5 per account
  int banned_percent = 3;
  int unknown_equipment_percent = 0;
};
inline constexpr int kMaxAccounts = 100000;

struct AccountsSummary {
  int accounts = 0;
  int characters = 0;
  int banned = 0;
};

// The text of "QVServer.cfg".
std::string ServerConfigText(uint64_t seed);

// Writes QVServer.cfg and the account folders under options.root. The same options and
// catalogue give the same bytes.
bool GenerateAccounts(const DemoCatalogue& catalogue, const AccountsOptions& options,
                      platform::FileSystem& files, AccountsSummary* summary, std::string* error);

}  // namespace helmsman::gamefiles

#endif  // HELMSMAN_GAMEFILES_UNIVERSE_H_
