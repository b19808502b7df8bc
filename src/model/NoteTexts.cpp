#include "model/NoteTexts.h"

#include "model/DateStamp.h"

#include <QCoreApplication>

namespace vimo {

QString NoteTipText(const QString& sender, qint64 dateStamp)
{
    const QDate day = StampDate(dateStamp);
    QStringList parts;
    if (!sender.isEmpty())
        parts << QCoreApplication::translate("NoteTexts", "From %1").arg(sender);
    if (day.isValid())
        parts << DayText(day);
    return parts.join(QStringLiteral(", "));
}

QString NoteDescription(int urgency, const QString& sender, qint64 dateStamp)
{
    const QString urgent = urgency == 3 ? QCoreApplication::translate("NoteTexts", "Urgent")
        : urgency == 2                  ? QCoreApplication::translate("NoteTexts", "Important")
                                        : QCoreApplication::translate("NoteTexts", "Normal");
    const QString tip = NoteTipText(sender, dateStamp);
    return tip.isEmpty() ? urgent : urgent + QStringLiteral(". ") + tip;
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
    return QCoreApplication::translate(
        "NoteTexts", "User name must be Valid: %1\n[Press ? for List]")
        .arg(name);
}

} // namespace vimo
