#pragma once

#include <QString>

namespace vimo {

// One value of the user's settings file, by section and key; the empty text when missing.
QString ReadProfileValue(const QString& section, const QString& key);

} // namespace vimo
