#include "model/LaterNotes.h"

#include "model/DateStamp.h"

#include <QCoreApplication>

namespace vimo {

QDateTime DefaultDue(const QDateTime& now)
{
    QDateTime afternoon(now.date(), QTime(15, 0));
    if (now.secsTo(afternoon) >= qint64(30) * 60)
        return afternoon;
    return QDateTime(now.date().addDays(1), QTime(9, 0));
}

std::optional<QString> DueRefusal(const QDateTime& due, const QDateTime& now)
{
    if (!due.isValid() || due <= now)
        return QCoreApplication::translate("LaterNotes", "That time has passed already.");
    if (due > now.addYears(1))
        return QCoreApplication::translate("LaterNotes", "That time is more than a year ahead.");
    return std::nullopt;
}

QString DueText(qint64 due)
{
    return QCoreApplication::translate("LaterNotes", "at %1")
        .arg(MomentText(QDateTime::fromSecsSinceEpoch(due).toLocalTime()));
}

} // namespace vimo
