// Invented words for the demo universe: place and maker names made of syllables, and
// character names. Nothing here comes from a real game.
#ifndef HELMSMAN_GAMEFILES_NAMES_H_
#define HELMSMAN_GAMEFILES_NAMES_H_

#include <string>

#include "gamefiles/splitmix.h"

namespace helmsman::gamefiles {

// A capitalised word of two or three syllables ("Velmorath"), letters a-z only.
std::string InventedWord(SplitMix64& rng);

// The word in lower case, for nicknames.
std::string LowerCase(const std::string& word);

// A pilot's name as players type them: one or two invented words, sometimes with a clan tag,
// digits or a Windows-1252 letter ("[QV]Kessa_Vorn", "Dra\xE9l Moss").
std::string CharacterName(SplitMix64& rng);

}  // namespace helmsman::gamefiles

#endif  // HELMSMAN_GAMEFILES_NAMES_H_
