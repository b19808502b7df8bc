#pragma once

namespace vimo {

// Speaks the user's language, as the locale (LANGUAGE, LC_MESSAGES, LANG) names it: our own
// texts, and Qt's for its standard buttons and dialogs. English needs nothing: it is what
// the program is written in. Call it once the application object exists.
void InstallTranslations();

} // namespace vimo
