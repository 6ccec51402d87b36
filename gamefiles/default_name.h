// The name the game gives a character that was never named. The game writes it into the
// character file as plain text, not in hexadecimal groups, so the reader takes it as it is.
#ifndef HELMSMAN_GAMEFILES_DEFAULT_NAME_H_
#define HELMSMAN_GAMEFILES_DEFAULT_NAME_H_

namespace helmsman::gamefiles {

inline constexpr char kDefaultCharacterName[] = "Unnamed Voyager";

}  // namespace helmsman::gamefiles

#endif  // HELMSMAN_GAMEFILES_DEFAULT_NAME_H_
