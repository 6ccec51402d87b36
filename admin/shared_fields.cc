#include "admin/shared_fields.h"

namespace helmsman::admin {

bool SharedFields::Bind(uint32_t owner) {
  // Taking the count from 0 to 1 in one step is the binding: of two processes initialising
  // at the same moment exactly one stores its owner.
  uint32_t unbound = 0;
  if (!Word(kCount).compare_exchange_strong(unbound, 1)) return false;
  Word(kOwner).store(owner);
  return true;
}

bool SharedFields::Unbind(uint32_t owner) {
  uint32_t expected = owner;
  if (owner == 0 || !Word(kOwner).compare_exchange_strong(expected, 0)) return false;
  uint32_t count = Word(kCount).load();
  while (count != 0 && !Word(kCount).compare_exchange_weak(count, count - 1)) {
  }
  return true;
}

}  // namespace helmsman::admin
