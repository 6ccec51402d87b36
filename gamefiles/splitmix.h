// The demo universe's random numbers: SplitMix64, written out here so that a seed gives the
// same universe with every compiler and standard library (the std:: distributions do not
// promise that).
#ifndef HELMSMAN_GAMEFILES_SPLITMIX_H_
#define HELMSMAN_GAMEFILES_SPLITMIX_H_

#include <cstdint>
#include <vector>

namespace helmsman::gamefiles {

class SplitMix64 {
 public:
  explicit SplitMix64(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // A number in [0, bound); 0 when bound is 0. The slight bias of the modulo does not matter
  // for demo data.
  uint64_t Below(uint64_t bound) { return bound == 0 ? 0 : Next() % bound; }

  // A number in [low, high].
  int64_t Between(int64_t low, int64_t high) {
    return low + static_cast<int64_t>(Below(static_cast<uint64_t>(high - low) + 1));
  }

  // True with the given chance in percent.
  bool Percent(int chance) { return Below(100) < static_cast<uint64_t>(chance); }

  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[Below(items.size())];
  }

 private:
  uint64_t state_;
};

}  // namespace helmsman::gamefiles

#endif  // HELMSMAN_GAMEFILES_SPLITMIX_H_
