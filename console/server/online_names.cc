#include "console/server/online_names.h"

namespace helmsman::server {

const std::string& OnlineNames::At(int index) const {
  static const std::string kEmpty;
  return index >= 0 && index < kMaxOnlineNames ? names_[index] : kEmpty;
}

std::vector<std::string> OnlineNames::InUse() const {
  std::vector<std::string> names;
  for (const std::string& name : names_) {
    if (name.empty()) break;
    names.push_back(name);
  }
  return names;
}

bool OnlineNames::Assign(const std::vector<std::string>& names) {
  Clear();
  int next = 0;
  for (const std::string& name : names) {
    if (name.empty()) continue;
    if (next == kMaxOnlineNames) return false;
    names_[next++] = name;
  }
  return true;
}

void OnlineNames::RemoveAt(int index) {
  int count = 0;
  while (count < kMaxOnlineNames && !names_[count].empty()) ++count;
  if (index < 0 || index >= count) return;
  for (int i = index; i + 1 < count; ++i) names_[i] = std::move(names_[i + 1]);
  names_[count - 1].clear();
}

void OnlineNames::Clear() {
  for (std::string& name : names_) name.clear();
}

}  // namespace helmsman::server
