// The three 32-bit fields every process that loads QVAdmin shares: the owner handle, the busy
// flag and the initialised count. They live in words the caller provides (the desktop's
// shared section in the library, plain memory in tests) and change only with atomic
// operations, so that processes sharing them never see a half-done change.
#ifndef HELMSMAN_ADMIN_SHARED_FIELDS_H_
#define HELMSMAN_ADMIN_SHARED_FIELDS_H_

#include <atomic>
#include <cstdint>

namespace helmsman::admin {

inline constexpr size_t kSharedWordCount = 3;

class SharedFields {
 public:
  // words: kSharedWordCount words, suitably aligned, that outlive this object.
  explicit SharedFields(uint32_t* words) : words_(words) {}

  uint32_t owner() const { return Word(kOwner).load(); }
  uint32_t initialised_count() const { return Word(kCount).load(); }
  bool busy() const { return Word(kBusy).load() != 0; }

  // Binds the library to owner if nobody has: true when this call bound it.
  bool Bind(uint32_t owner);
  // Unbinds when owner is the stored owner (non-zero): true when this call unbound it.
  bool Unbind(uint32_t owner);
  // One atomic test-and-set: true when the flag was clear and this call set it.
  bool TakeBusy() { return Word(kBusy).exchange(1) == 0; }
  void ClearBusy() { Word(kBusy).store(0); }

 private:
  enum Field { kOwner = 0, kBusy = 1, kCount = 2 };
  std::atomic_ref<uint32_t> Word(Field field) const {
    return std::atomic_ref<uint32_t>(words_[field]);
  }

  uint32_t* words_;
};

}  // namespace helmsman::admin

#endif  // HELMSMAN_ADMIN_SHARED_FIELDS_H_
