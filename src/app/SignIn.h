#pragma once

namespace vimo {

// Runs the sign-in dialog and makes its name the current user for the rest of the run.
// False when the user cancelled: the program then ends without a tray icon.
bool SignIn();

} // namespace vimo
