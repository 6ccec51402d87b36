// Invented words for the demo universe: place and maker names made of syllables, and
// character names. Nothing here comes from a real game.
#ifndef HELMSMAN_TOOLS_DEMO_UNIVERSE_NAMES_H_
#define HELMSMAN_TOOLS_DEMO_UNIVERSE_NAMES_H_

#include <string>

#include "tools/demo_universe/splitmix.h"

namespace helmsman::demo {

// A capitalised word of two or three syllables ("Velmorath"), letters a-z only.
std::string InventedWord(SplitMix64& rng);

// The word in lower case, for nicknames.
std::string LowerCase(const std::string& word);

// A pilot's name as players type them: one or two invented words, sometimes with a clan tag,
// digits or a Windows-1252 letter ("[QV]Kessa_Vorn", "Dra\xE9l Moss").
std::string CharacterName(SplitMix64& rng);

}  // namespace helmsman::demo

#endif  // HELMSMAN_TOOLS_DEMO_UNIVERSE_NAMES_H_
