#include "codec/scramble.h"

#include <array>

namespace helmsman::codec {

namespace {

constexpr size_t kPeriod = 256;

constexpr std::array<uint8_t, kPeriod> MakeMaskTable() {
  std::array<uint8_t, kPeriod> table{};
  for (size_t i = 0; i < kPeriod; ++i) {
    unsigned key_byte = static_cast<unsigned char>(kKey[i % kKey.size()]);
    table[i] = static_cast<uint8_t>(((key_byte + i) % 256) | 0x80);
  }
  return table;
}

constexpr std::array<uint8_t, kPeriod> kMasks = MakeMaskTable();

}  // namespace

uint8_t MaskAt(uint32_t position) { return kMasks[position % kPeriod]; }

void Scramble(char* data, size_t size, uint32_t first_position) {
  auto* bytes = reinterpret_cast<unsigned char*>(data);
  size_t done = 0;
  size_t phase = first_position % kPeriod;
  // Up to the next whole period byte by byte; then whole periods against the table from its
  // start, a loop the compiler turns into vector instructions.
  for (; done < size && phase != 0; ++done, phase = (phase + 1) % kPeriod) {
    bytes[done] ^= kMasks[phase];
  }
  for (; size - done >= kPeriod; done += kPeriod) {
    for (size_t j = 0; j < kPeriod; ++j) bytes[done + j] ^= kMasks[j];
  }
  for (size_t j = 0; done < size; ++done, ++j) bytes[done] ^= kMasks[j];
}

std::string EncodeText(std::string_view plain) {
  std::string scrambled;
  scrambled.reserve(kMagic.size() + plain.size());
  scrambled.append(kMagic);
  scrambled.append(plain);
  Scramble(scrambled.data() + kMagic.size(), plain.size());
  return scrambled;
}

bool DecodeText(std::string_view scrambled, std::string* plain) {
  if (scrambled.substr(0, kMagic.size()) != kMagic) return false;
  plain->assign(scrambled.substr(kMagic.size()));
  Scramble(plain->data(), plain->size());
  return true;
}

}  // namespace helmsman::codec
