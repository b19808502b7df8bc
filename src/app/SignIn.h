#pragma once

#include <QString>

namespace vimo {

class StoreWorker;

// Runs the sign-in dialog and returns the name under which this copy runs from then on; the
// empty text when the user cancelled, and the program then ends without a tray icon.
QString SignIn(StoreWorker& worker);

} // namespace vimo
