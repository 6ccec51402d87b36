// The character-file scrambling, in memory. A scrambled file is the four bytes "QVS1"
// followed by the plain text with each byte XOR-ed with a mask that depends on its position
// (counted from 0 at the first byte after the magic):
//
//   m(i) = ((K[i mod 4] + i) mod 256) OR 0x80,   K = "Vrak"
//
// The transformation is its own inverse, so encoding and decoding differ only in the magic.
// The mask depends on i mod 256 only, so it repeats every 256 positions (with its top bit
// forced, in fact every 128).
#ifndef HELMSMAN_CODEC_SCRAMBLE_H_
#define HELMSMAN_CODEC_SCRAMBLE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace helmsman::codec {

inline constexpr std::string_view kMagic = "QVS1";
inline constexpr std::string_view kKey = "Vrak";

// The mask byte for a position.
uint8_t MaskAt(uint32_t position);

// XORs size bytes at data with the masks of positions first_position, first_position + 1 ...
// Applying it twice restores the bytes.
void Scramble(char* data, size_t size, uint32_t first_position = 0);

// "QVS1" followed by the scrambled plain text.
std::string EncodeText(std::string_view plain);

// The plain text of a scrambled file's content. Returns false, leaving *plain alone, when the
// content does not begin with "QVS1".
bool DecodeText(std::string_view scrambled, std::string* plain);

}  // namespace helmsman::codec

#endif  // HELMSMAN_CODEC_SCRAMBLE_H_
