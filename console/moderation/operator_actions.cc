#include "console/moderation/operator_actions.h"

#include "console/server/supervision.h"

namespace helmsman::moderation {

std::string SelectedRow(const ui::Controls& controls, const std::string& list) {
  const ui::Control& control = controls.Get(list);
  const int row = control.selected();
  if (row < 0 || row >= static_cast<int>(control.rows().size())) return "";
  return control.rows()[static_cast<size_t>(row)];
}

void ResumeTimer(ui::Controls& controls) {
  const bool running = controls.Get("cmdToggleServer").text() == server::kStopServerCaption;
  controls.SetEnabled("tmrMainEventTimer", running);
}

std::string ActorName(const std::function<std::string()>& actor) {
  return actor ? actor() : "operator";
}

void JournalAction(safety::Journal* journal, const std::string& action, const std::string& actor,
                   const std::string& account_folder, const std::string& character,
                   std::vector<std::pair<std::string, std::string>> details) {
  if (journal == nullptr) return;
  safety::JournalEntry entry;
  entry.action = action;
  entry.actor = actor;
  entry.account = account_folder.empty() ? "" : platform::BaseName(account_folder);
  entry.character = character;
  entry.details = std::move(details);
  journal->Append(std::move(entry));
}

}  // namespace helmsman::moderation
