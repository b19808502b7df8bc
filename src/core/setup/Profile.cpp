#include "setup/Profile.h"

#include <QSettings>

namespace vimo {
namespace {

QSettings OpenProfile()
{
    return QSettings(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("vimo"), QStringLiteral("vimo"));
}

} // namespace

QString ReadProfileValue(const QString& section, const QString& key)
{
    const QSettings profile = OpenProfile();
    return profile.value(section + QLatin1Char('/') + key).toString();
}

} // namespace vimo
