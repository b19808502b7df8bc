#include "model/NoteTexts.h"

#include "model/DateStamp.h"

namespace vimo {

QString NoteTipText(const QString& sender, qint64 dateStamp)
{
    const QDate day = StampDate(dateStamp);
    QStringList parts;
    if (!sender.isEmpty())
        parts << QStringLiteral("From ") + sender;
    if (day.isValid())
        parts << DayText(day);
    return parts.join(QStringLiteral(", "));
}

QStringList SplitRecipientNames(QStringView list)
{
    QStringList names;
    for (const QStringView entry : list.split(u',')) {
        const QString name = entry.trimmed().toString();
        if (!name.isEmpty() && !names.contains(name))
            names.append(name);
    }
    return names;
}

QString UnknownUserAlert(const QString& name)
{
    return QStringLiteral("User name must be Valid: %1\n[Press ? for List]").arg(name);
}

} // namespace vimo
