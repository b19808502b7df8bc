#include "app/CommandLine.h"

namespace vimo {

bool IsSwitch(const QString& argument)
{
    if (argument.startsWith(QLatin1Char('-')))
        return true;
    if (!argument.startsWith(QLatin1Char('/')))
        return false;
    static const QStringList slashSwitches = {
        QStringLiteral("p"),
        QStringLiteral("pt"),
        QStringLiteral("dde"),
        QStringLiteral("Embedding"),
        QStringLiteral("Automation"),
        QStringLiteral("Unregister"),
        QStringLiteral("Unregserver"),
    };
    return slashSwitches.contains(argument.mid(1), Qt::CaseInsensitive);
}

QString DataFileArgument(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!IsSwitch(arguments[i]))
            return arguments[i];
    }
    return QString();
}

} // namespace vimo
