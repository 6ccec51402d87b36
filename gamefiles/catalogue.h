// The demo universe's game data: the nineteen tables of the "GAMEDATA_" files (tables.h) and
// the map text, invented from a seed, written to and read back from a folder.
//
// File forms: three-column lines "hashCode=nickname,display name" (hash codes are ten
// characters, unique across all tables), two-column lines "nickname=display name" for bases,
// factions and systems, lines ended by CR LF. A base's nickname begins with its system's
// nickname and "_"; system nicknames hold no "_". The map text is "visit = " lines.
#ifndef HELMSMAN_GAMEFILES_CATALOGUE_H_
#define HELMSMAN_GAMEFILES_CATALOGUE_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "gamefiles/tables.h"
#include "platform/file_system.h"

namespace helmsman::gamefiles {

struct CatalogueEntry {
  std::string hash_code;  // empty in two-column tables
  std::string nickname;
  std::string display_name;
};

struct DemoCatalogue {
  std::array<std::vector<CatalogueEntry>, kTableCount> tables;
  std::string mapinfo;  // the whole text of GAMEDATA_mapinfo.txt

  const std::vector<CatalogueEntry>& operator[](Table table) const {
    return tables[static_cast<size_t>(table)];
  }
  std::vector<CatalogueEntry>& operator[](Table table) {
    return tables[static_cast<size_t>(table)];
  }
};

// An invented catalogue; the same seed gives the same catalogue.
DemoCatalogue MakeCatalogue(uint64_t seed);

// The text of a table's file.
std::string TableText(const DemoCatalogue& catalogue, Table table);

// The values of the map text's "visit = " lines ("velmora_dock2, 1" ...), in file order.
std::vector<std::string> MapVisits(const std::string& mapinfo);

// Writes the twenty files into folder, creating it (and its parents) when missing.
bool WriteGamedata(const DemoCatalogue& catalogue, const std::string& folder,
                   platform::FileSystem& files, std::string* error);

// Reads the twenty files from folder. Fails, naming file and line, on a missing file or a
// line without its separators.
bool ReadGamedata(const std::string& folder, platform::FileSystem& files, DemoCatalogue* catalogue,
                  std::string* error);

// Creates folder and every missing parent.
bool MakeDirectories(platform::FileSystem& files, const std::string& folder);

}  // namespace helmsman::gamefiles

#endif  // HELMSMAN_GAMEFILES_CATALOGUE_H_
