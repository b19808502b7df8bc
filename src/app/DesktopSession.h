#pragma once

#include "app/StartOptions.h"

namespace vimo {

class CTrayDlg;
class SessionChannel;

// A start whose session already has a copy hands its command to that copy. Returns true when
// this start is to become the session's copy: it then serves the channel, and until the tray
// runs a later start brings forward whatever this copy shows (a question, the sign-in).
bool BecomeSessionCopy(SessionChannel& channel, DesktopCommand command);

// From here on later starts reach the tray window's commands. Once the tray runs, the user
// hears what this desktop lacks (a tray, window placement), and a New asked for at start
// opens the compose dialog.
void ServeFromTray(SessionChannel& channel, CTrayDlg& tray, DesktopCommand command);

} // namespace vimo
