// For tests that look at what an action journaled.
#ifndef HELMSMAN_CONSOLE_SAFETY_JOURNAL_TESTING_H_
#define HELMSMAN_CONSOLE_SAFETY_JOURNAL_TESTING_H_

#include <string>
#include <vector>

#include "console/safety/journal.h"

namespace helmsman::safety::testing {

// Every entry the journal holds (about that character, when one is named), without its
// time: "ACTION ACTOR ACCOUNT/CHARACTER key=value, key=value".
inline std::vector<std::string> JournalLines(Journal& journal, const std::string& character = "") {
  JournalFilter filter;
  filter.character = character;
  std::vector<std::string> lines;
  for (const JournalEntry& entry : journal.Read(filter)) {
    std::string line = entry.action + " " + entry.actor + " " + entry.account + "/" +
                       entry.character;
    for (size_t i = 0; i < entry.details.size(); ++i) {
      line += (i == 0 ? " " : ", ") + entry.details[i].first + "=" + entry.details[i].second;
    }
    lines.push_back(line);
  }
  return lines;
}

}  // namespace helmsman::safety::testing

#endif  // HELMSMAN_CONSOLE_SAFETY_JOURNAL_TESTING_H_
