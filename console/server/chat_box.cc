#include "console/server/chat_box.h"

#include "console/server/supervision.h"

namespace helmsman::server {

void UpdateSendEnabled(ui::Controls& controls) {
  bool running = controls.Get("cmdToggleServer").text() == kStopServerCaption;
  controls.SetEnabled("cmdSend", running && !controls.Get("txtChatText").text().empty());
}

void SendChat(ui::Controls& controls, CommandChannel& channel) {
  const bool timer_was_running = controls.Get("tmrMainEventTimer").enabled();
  controls.SetEnabled("cmdSend", false);
  controls.SetEnabled("tmrMainEventTimer", false);
  // A copy: the text box may change while the command waits.
  const std::string text = controls.Get("txtChatText").text();
  CommandResult result = channel.Broadcast(text, kOperatorReplySize, kMessageSentSuccessfully);
  // A server stopped meanwhile keeps its timer off.
  const bool running = controls.Get("cmdToggleServer").text() == kStopServerCaption;
  controls.SetEnabled("tmrMainEventTimer", timer_was_running && running);
  if (!result.carried_out) {
    // The text never reached the server: the operator keeps it to send again.
    channel.ReportRefusal(result, kMessageNotSentStatus, ": Message [" + text + "] not sent: ");
  } else if (controls.Get("chkClearChatAfterSend").value() != 0) {
    controls.SetText("txtChatText", "");
  }
  UpdateSendEnabled(controls);
}

}  // namespace helmsman::server
