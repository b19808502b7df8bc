#pragma once

#include <QPalette>

namespace vimo {

// Puts the desktop behind ShowAlert, AskYesNo and ChooseDataFile: the "VIMO!!" box, the
// yes/no box and the file dialog.
void InstallDesktopPrompts();

// The desktop's own colours, every role set, for the boxes that keep them: the black dialog
// colours of the program's own dialogs would make their texts black on black.
QPalette PlatformColours();

} // namespace vimo
