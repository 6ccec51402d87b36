#include "console/players/player_list.h"

#include <algorithm>
#include <utility>

namespace helmsman::players {

PlayerList::PlayerList() : records_(kMaxPlayers) {}

int PlayerList::Count() const {
  auto end = std::find_if(records_.begin(), records_.end(),
                          [](const PlayerRecord& record) { return record.is_free(); });
  return static_cast<int>(end - records_.begin());
}

std::span<PlayerRecord> PlayerList::InUse() {
  return std::span<PlayerRecord>(records_.data(), static_cast<size_t>(Count()));
}

std::span<const PlayerRecord> PlayerList::InUse() const {
  return std::span<const PlayerRecord>(records_.data(), static_cast<size_t>(Count()));
}

int PlayerList::FindFirstFree() const {
  int count = Count();
  return count < kMaxPlayers ? count : kNoPlayer;
}

int PlayerList::FindByName(std::string_view name) const {
  for (int i = 0; i < kMaxPlayers && !records_[i].is_free(); ++i) {
    if (records_[i].name == name) return i;
  }
  return kNoPlayer;
}

int PlayerList::Add(PlayerRecord record) {
  if (record.is_free()) return kNoPlayer;
  int index = FindFirstFree();
  if (index == kNoPlayer) return kNoPlayer;
  records_[index] = std::move(record);
  return index;
}

bool PlayerList::Remove(int index) {
  int count = Count();
  if (index < 0 || index >= count) return false;
  // Moving a string hands over its buffer, so closing the gap copies no long texts.
  std::move(records_.begin() + index + 1, records_.begin() + count, records_.begin() + index);
  records_[count - 1].Clear();
  return true;
}

void PlayerList::Clear() {
  for (PlayerRecord& record : records_) record.Clear();
}

PlayerRecord* PlayerList::At(int index) {
  if (index < 0 || index >= kMaxPlayers) return nullptr;
  return &records_[index];
}

const PlayerRecord* PlayerList::At(int index) const {
  if (index < 0 || index >= kMaxPlayers) return nullptr;
  return &records_[index];
}

}  // namespace helmsman::players
