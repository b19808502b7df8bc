#pragma once

namespace vimo {

// Puts the desktop behind ShowAlert, AskYesNo and ChooseDataFile: the "VIMO!!" box, the
// yes/no box and the file dialog.
void InstallDesktopPrompts();

} // namespace vimo
