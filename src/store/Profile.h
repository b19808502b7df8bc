#pragma once

#include <QString>

namespace vimo {

// The path of the user's settings file: vimo/vimo.ini under the user's configuration folder.
QString ProfileFilePath();

// One value of the user's settings file, by section and key; the empty text when missing.
QString ReadProfileValue(const QString& section, const QString& key);

} // namespace vimo
