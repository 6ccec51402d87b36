// Removing many records of the player list at once, with the same result as removing them
// one after the other through the database's record removal: the same list, and the same
// removal log ("playersremovedlogfile.log"), byte for byte.
//
// One by one, every removal rewrites the whole log (its entry on top, the old log below
// line by line) and moves every later record down one place: n removals from a list of m
// records under a log of L bytes cost n × (m + L). Here the entries are built from one pass
// over the list, the log is read and written once and the list closes its gaps in one
// pass: m + L + the entries.
//
// Each entry lists the characters of the removed one's account still in the list at that
// moment, in list order: the removed one itself and those not removed before it. Records
// are removed in the order of their indices, lowest first, as a walk over the list that
// stays at the same index after a removal takes them; the log holds the newest entry on
// top, so the entry of the highest index comes first.
#ifndef HELMSMAN_CONSOLE_MAINTENANCE_BULK_REMOVAL_H_
#define HELMSMAN_CONSOLE_MAINTENANCE_BULK_REMOVAL_H_

#include <string>
#include <vector>

#include "console/logs/logs.h"
#include "console/players/player_list.h"
#include "platform/file_system.h"

namespace helmsman::maintenance {

// Removes the records at the given indices (records in use, in ascending order; others are
// passed over) and writes their removal-log entries into the program folder's log durably
// (a temporary file renamed over it). A log that cannot be written is reported in the HELM
// error log, once per record as the single removal does; the records still go. Returns the
// number of records removed.
int RemoveRecordsInBulk(players::PlayerList& list, const std::vector<int>& indices,
                        platform::FileSystem& files, const std::string& program_folder,
                        logs::Logs& logs);

}  // namespace helmsman::maintenance

#endif  // HELMSMAN_CONSOLE_MAINTENANCE_BULK_REMOVAL_H_
