// The small text codes of the server console: player IDs, decimal arguments of the command
// language and the hexadecimal name text of the account list.
#ifndef HELMSMAN_ADMIN_TEXT_CODES_H_
#define HELMSMAN_ADMIN_TEXT_CODES_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace helmsman::admin {

// The player ID of a row of the player list: the sum, wrapping in 32 bits, of the row's bytes
// taken as signed 8-bit values.
uint32_t PlayerId(std::string_view row);

// A decimal integer read the way the command language reads its numbers: leading white space
// skipped, one optional sign, digits up to the first non-digit, in 32-bit arithmetic that
// wraps without an overflow check. No digits read as 0.
uint32_t ParseWrapping32(std::string_view text);

// The most characters a decoded name has.
inline constexpr size_t kMaxDecodedName = 512;

// Decodes a row of the account list, where every character of a name is a group of four
// hexadecimal digits. The row is read two digits at a time (0-9, A-F, a-f; any other byte
// counts as its code minus the code of "0"); of each group's two pairs the first is dropped
// and the second is the character code, kept as the 16-bit character it is stored in. A
// trailing group of fewer than four digits is ignored. Leading spaces (code 32) are skipped,
// at most kMaxDecodedName characters are produced, and the result is put into the code page,
// lower-cased there and widened again, as the server console's names are compared.
std::u16string DecodeHexName(std::string_view row);

}  // namespace helmsman::admin

#endif  // HELMSMAN_ADMIN_TEXT_CODES_H_
