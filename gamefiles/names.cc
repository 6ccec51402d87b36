#include "gamefiles/names.h"

#include <vector>

namespace helmsman::gamefiles {

namespace {

const std::vector<std::string> kOnsets = {"v",  "k",  "th", "s", "m",  "r",  "d",
                                          "qu", "z",  "br", "t", "l",  "n",  "h",
                                          "c",  "dr", "sk", "g", "vr", "ph", "j"};
const std::vector<std::string> kVowels = {"a", "e", "i", "o", "u", "a", "e", "o", "ae", "y"};
const std::vector<std::string> kCodas = {"n", "r", "s", "th", "l", "x", "m", "k"};

const std::vector<std::string> kClanTags = {"[QV]", "[VRK]", "-=", "{Drift}", "<HX>", "[Ash]"};
// Letters of Windows-1252 above 0x7F that pilots use in their names.
const std::vector<std::string> kAccented = {"\xE9", "\xF6", "\xE5", "\xF1", "\xDF", "\xE7"};

std::string Syllable(SplitMix64& rng, int coda_percent) {
  std::string syllable = rng.Pick(kOnsets) + rng.Pick(kVowels);
  if (rng.Percent(coda_percent)) syllable += rng.Pick(kCodas);
  return syllable;
}

}  // namespace

std::string InventedWord(SplitMix64& rng) {
  std::string word = Syllable(rng, 25);
  if (rng.Percent(25)) word += Syllable(rng, 0);
  word += Syllable(rng, 50);
  word[0] = static_cast<char>(word[0] - 'a' + 'A');
  return word;
}

std::string LowerCase(const std::string& word) {
  std::string lower = word;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::string CharacterName(SplitMix64& rng) {
  std::string name = InventedWord(rng);
  if (rng.Percent(10)) name.insert(1 + rng.Below(name.size() - 1), rng.Pick(kAccented));
  switch (rng.Below(6)) {
    case 0:
    case 1:
      name += rng.Percent(50) ? ' ' : '_';
      name += InventedWord(rng);
      break;
    case 2:
      name += std::to_string(rng.Between(1, 999));
      break;
    default:
      break;
  }
  if (rng.Percent(15)) name = rng.Pick(kClanTags) + name;
  return name;
}

}  // namespace helmsman::gamefiles
