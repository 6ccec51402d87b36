// The name the game gives a character that was never named. The game writes it into the
// character file as plain text, not in hexadecimal groups, so the reader takes it as it is.
#ifndef HELMSMAN_CONSOLE_PLAYERS_DEFAULT_NAME_H_
#define HELMSMAN_CONSOLE_PLAYERS_DEFAULT_NAME_H_

namespace helmsman::players {

inline constexpr char kDefaultCharacterName[] = "Unnamed Voyager";

}  // namespace helmsman::players

#endif  // HELMSMAN_CONSOLE_PLAYERS_DEFAULT_NAME_H_
