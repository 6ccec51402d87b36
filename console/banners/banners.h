// Banners: the one-line messages the console broadcasts to every player with the server's
// "message" command.
//
// Timed banners: twelve texts shown in rotation, one every `vscBannerDisplayInterval`
// minutes while `chkEnableTimedBanners` is checked. The main event timer keeps the countdown
// (and "Display Now" sets it due); when it runs out the timer calls ShowNextTimedBanner. The
// option buttons `optTimedBanner_0` .. `_11` mark the next banner to show; a button is
// enabled exactly while its text is not empty. They are not settings: this class owns
// what they show.
//
// Daily banners: twelve texts, each with a weekday (`cmbDailyBannerDay`) and an hour
// (`cmbDailyBannerTime`). A slot fires while armed, at the first tick in its hour on its
// weekday, and is then disarmed; every slot is armed when the settings are loaded, and an
// emptied slot is armed again (so refilling it lets it fire once more).
//
// The new-player greeting is sent by the online player tracking, the three maintenance
// warnings by the main event timer; both read their texts from the same settings.
//
// A banner is sent as "message " + its text, as typed. On success (the call went through
// and the reply holds "SUCCESSFUL") the status line and the server activity log say so; a
// banner that fails is neither logged nor retried. One the library refuses without sending
// (a text longer than a command may be, the library busy) is reported on the status line
// and in the HELM error log, so that an operator learns why it never shows.
#ifndef HELMSMAN_CONSOLE_BANNERS_BANNERS_H_
#define HELMSMAN_CONSOLE_BANNERS_BANNERS_H_

#include <array>
#include <string>

#include "console/logs/logs.h"
#include "console/server/command_channel.h"
#include "console/settings/settings.h"
#include "console/settings/settings_files.h"
#include "console/ui/controls.h"
#include "platform/file_system.h"

namespace helmsman::banners {

inline constexpr char kTimedBannerStatus[] = "Timed banner displayed successfully";
inline constexpr char kDailyBannerStatus[] = "Daily banner displayed successfully";
inline constexpr char kRefusedStatus[] = "Banner not sent: ";
inline constexpr char kRefusedLog[] = ": Banner not sent: ";
inline constexpr int kNoTimedBanner = -1;

struct BannerParts {
  ui::Controls& controls;
  ui::StatusLine& status;
  server::CommandChannel& channel;
  logs::Logs& logs;  // its clock and locale give the weekday and the hour
  settings::Settings& settings;
  platform::FileSystem& files;
  std::string program_folder;
  // Settings files that could not be read at start-up: the save leaves them alone.
  const settings::SettingsFileSet& unreadable_settings;
};

class Banners {
 public:
  // Adds the twelve option buttons to the controls. Everything in parts must outlive this.
  explicit Banners(BannerParts parts);

  // Wires the text boxes' changes and "Save Banner Configuration".
  void Wire();

  // After the settings were loaded: every daily slot armed and its lists enabled when it
  // has text; every timed option enabled when its text is not empty, and the last such one
  // selected.
  void SettingsLoaded();

  // A change of txtTimedBanner_<index>: a text selects (and enables) its option, an empty
  // one disables and deselects it.
  void TimedTextChanged(int index);
  // A change of txtDailyBanner_<index>: a text enables the slot's day and hour lists, an
  // empty one disables them, clears their selection and arms the slot again.
  void DailyTextChanged(int index);

  // The rotation step, when the timed countdown ran out: shows the selected banner, if any,
  // then selects the next slot with text after it (cyclically, itself last). With no slot
  // holding text nothing is selected.
  void ShowNextTimedBanner();
  // Every tick: fires the armed slots whose weekday and hour are now.
  void CheckDailyBanners();

  // "Save Banner Configuration".
  bool Save();

  // The option selected, kNoTimedBanner when none.
  int selected_timed_banner() const { return selected_; }
  bool armed(int slot) const { return armed_[static_cast<size_t>(slot)]; }

 private:
  void Select(int index);
  void Deselect();
  bool Send(const std::string& text, const char* success_status, const std::string& log_line);

  BannerParts p_;
  // What the twelve option buttons show: the index of the selected one.
  int selected_ = kNoTimedBanner;
  std::array<bool, settings::kDailyBannerCount> armed_{};
};

// "optTimedBanner_<index>", "txtTimedBanner_<index>", ... as the controls name them.
std::string TimedOption(int index);

}  // namespace helmsman::banners

#endif  // HELMSMAN_CONSOLE_BANNERS_BANNERS_H_
