#include "model/Receipts.h"

#include "model/DateStamp.h"

namespace vimo {
namespace {

// "deleted Mon 7 Dec 2026 10:50"; the state alone when the time cannot be read.
QString EventText(const QString& state, const QString& before, const QString& stored)
{
    const QDateTime moment = QDateTime::fromString(stored, Qt::ISODate);
    return moment.isValid() ? state + before + MomentText(moment) : state;
}

} // namespace

QString ReceiptTime(const QDateTime& moment)
{
    return moment.toUTC().toString(Qt::ISODate);
}

QString ReceiptStateText(const SentNote& note)
{
    if (!note.Deleted.isEmpty())
        return EventText(QStringLiteral("deleted"), QStringLiteral(" "), note.Deleted);
    if (!note.Shown.isEmpty())
        return EventText(QStringLiteral("on screen"), QStringLiteral(" since "), note.Shown);
    return QStringLiteral("waiting");
}

} // namespace vimo
