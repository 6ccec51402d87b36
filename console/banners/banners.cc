#include "console/banners/banners.h"

#include "console/logs/regional_checks.h"
#include "console/ui/main_window_controls.h"

namespace helmsman::banners {

namespace {

constexpr int kTimedCount = settings::kTimedBannerCount;
constexpr int kDailyCount = settings::kDailyBannerCount;

std::string Element(const char* name, int index) { return ui::ElementName(name, index); }

}  // namespace

std::string TimedOption(int index) { return Element("optTimedBanner", index); }

Banners::Banners(BannerParts parts) : p_(std::move(parts)) {
  for (int i = 0; i < kTimedCount; ++i) {
    const std::string name = TimedOption(i);
    ui::Control& option = p_.controls.Add(name, ui::ControlKind::kOption);
    option.BindOption(&selected_, i);
    p_.controls.SetText(name, "");
    p_.controls.SetEnabled(name, false);
  }
}

void Banners::Wire() {
  for (int i = 0; i < kTimedCount; ++i) {
    p_.controls.On(Element("txtTimedBanner", i), ui::ControlEvent::kChange,
                   [this, i] { TimedTextChanged(i); });
  }
  for (int i = 0; i < kDailyCount; ++i) {
    p_.controls.On(Element("txtDailyBanner", i), ui::ControlEvent::kChange,
                   [this, i] { DailyTextChanged(i); });
  }
  p_.controls.On("cmdSaveBannerConfigurationToFile", ui::ControlEvent::kClick, [this] { Save(); });
}

void Banners::SettingsLoaded() {
  armed_.fill(true);
  // The load sets the texts one after the other, each selecting its option: the last text
  // stays selected.
  Deselect();
  for (int i = 0; i < kTimedCount; ++i) {
    const bool filled = !p_.settings.txtTimedBanner[static_cast<size_t>(i)].empty();
    p_.controls.SetEnabled(TimedOption(i), filled);
    if (filled) Select(i);
  }
  for (int i = 0; i < kDailyCount; ++i) {
    const bool filled = !p_.settings.txtDailyBanner[static_cast<size_t>(i)].empty();
    p_.controls.SetEnabled(Element("cmbDailyBannerDay", i), filled);
    p_.controls.SetEnabled(Element("cmbDailyBannerTime", i), filled);
  }
}

void Banners::TimedTextChanged(int index) {
  if (index < 0 || index >= kTimedCount) return;
  const std::string option = TimedOption(index);
  if (!p_.settings.txtTimedBanner[static_cast<size_t>(index)].empty()) {
    p_.controls.SetEnabled(option, true);
    Select(index);
    return;
  }
  if (selected_ == index) selected_ = kNoTimedBanner;
  // Disabling reports the change, so the view shows the deselection with it; an option
  // that was disabled already was not selected either.
  p_.controls.SetEnabled(option, false);
}

void Banners::DailyTextChanged(int index) {
  if (index < 0 || index >= kDailyCount) return;
  const bool filled = !p_.settings.txtDailyBanner[static_cast<size_t>(index)].empty();
  const std::string day = Element("cmbDailyBannerDay", index);
  const std::string hour = Element("cmbDailyBannerTime", index);
  p_.controls.SetEnabled(day, filled);
  p_.controls.SetEnabled(hour, filled);
  if (filled) return;
  p_.controls.Select(day, -1);
  p_.controls.Select(hour, -1);
  armed_[static_cast<size_t>(index)] = true;
}

void Banners::ShowNextTimedBanner() {
  // The first selected slot, or the last one when none is.
  int reached = 0;
  while (reached < kTimedCount - 1 && selected_ != reached) ++reached;
  if (selected_ == reached) {
    const std::string text = p_.settings.txtTimedBanner[static_cast<size_t>(reached)];
    Send(text, kTimedBannerStatus, ": Timed banner [" + text + "] displayed successfully");
  }
  // Whatever the outcome: the next slot with text, the one just reached examined last.
  for (int step = 1; step <= kTimedCount; ++step) {
    const int slot = (reached + step) % kTimedCount;
    if (!p_.settings.txtTimedBanner[static_cast<size_t>(slot)].empty()) {
      Select(slot);
      return;
    }
  }
}

void Banners::CheckDailyBanners() {
  // The weekday and hour are read once, and only when some armed slot has a text: most
  // ticks have nothing to compare.
  int weekday = -1;
  int hour = -1;
  for (int i = 0; i < kDailyCount; ++i) {
    const size_t slot = static_cast<size_t>(i);
    const std::string& text = p_.settings.txtDailyBanner[slot];
    if (text.empty()) {
      armed_[slot] = true;
      continue;
    }
    if (!armed_[slot]) continue;
    if (weekday < 0) {
      weekday = p_.logs.clock().NowLocal().weekday;
      hour = logs::CurrentHourIndex(p_.logs, p_.settings.optRegionalTimeSetting);
    }
    // A slot without a weekday or an hour chosen (-1) never matches.
    if (p_.settings.cmbDailyBannerDay[slot] != weekday) continue;
    if (p_.settings.cmbDailyBannerTime[slot] != hour) continue;
    armed_[slot] = false;
    const std::string sent = text;  // the send lets events run that may change the text
    Send(sent, kDailyBannerStatus, ": Daily banner [" + sent + "] displayed successfully");
  }
}

bool Banners::Save() {
  return settings::SaveBannerSettings(p_.program_folder, p_.files, p_.settings, p_.status, p_.logs,
                                      p_.unreadable_settings);
}

void Banners::Select(int index) { p_.controls.SetValue(TimedOption(index), 1); }

void Banners::Deselect() {
  if (selected_ == kNoTimedBanner) return;
  const int was = selected_;
  selected_ = kNoTimedBanner;
  // Toggling the enabled state reports the change to the view.
  const bool enabled = p_.controls.Get(TimedOption(was)).enabled();
  p_.controls.SetEnabled(TimedOption(was), !enabled);
  p_.controls.SetEnabled(TimedOption(was), enabled);
}

bool Banners::Send(const std::string& text, const char* success_status,
                   const std::string& log_line) {
  const server::CommandResult result =
      p_.channel.Run(server::kMessageCommand + text, server::kOperatorReplySize);
  p_.channel.ReportRefusal(result, kRefusedStatus, kRefusedLog);
  if (!result.successful) return false;
  p_.status.Set(success_status);
  p_.logs.Append(logs::LogId::kServerActivity, log_line);
  return true;
}

}  // namespace helmsman::banners
