// The operator's chat box on the "Operation" tab: `txtChatText` and the button `cmdSend`,
// which broadcasts the text to every player on the server.
#ifndef HELMSMAN_CONSOLE_SERVER_CHAT_BOX_H_
#define HELMSMAN_CONSOLE_SERVER_CHAT_BOX_H_

#include "console/server/command_channel.h"
#include "console/ui/controls.h"

namespace helmsman::server {

inline constexpr char kMessageSentSuccessfully[] = "Message sent successfully";
inline constexpr char kMessageNotSentStatus[] = "Message not sent: ";

// cmdSend is enabled exactly when cmdToggleServer reads "Stop Server" and txtChatText is not
// empty. Applied on every change of either.
void UpdateSendEnabled(ui::Controls& controls);

// cmdSend click: disables cmdSend and stops the main event timer for the length of the
// command, broadcasts txtChatText (success text "Message sent successfully"), puts the timer
// back as it was and cmdSend by its rule, and empties txtChatText when chkClearChatAfterSend
// is ticked, whether or not the broadcast succeeded.
//
// A message the library refuses without carrying it out (busy with another command, one it
// does not take) keeps txtChatText as it is, so the operator can send it again, and is
// reported: the status line reads "Message not sent: " + the reason, and the HELM error log
// gets ": Message [" + text + "] not sent: " + the reason.
//
// The timer is put back as it was rather than switched on: the button can be pressed while a
// tick waits for its own command, and switching the timer on there would let a second tick
// start inside the first.
void SendChat(ui::Controls& controls, CommandChannel& channel);

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_CHAT_BOX_H_
