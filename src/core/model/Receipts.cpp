#include "model/Receipts.h"

#include "model/DateStamp.h"
#include "model/LaterNotes.h"

#include <QCoreApplication>

namespace vimo {
namespace {

// "deleted Mon 7 Dec 2026 10:50"; the state alone when the time cannot be read.
QString EventText(const char* withTime, const char* alone, const QString& stored)
{
    const QDateTime moment = QDateTime::fromString(stored, Qt::ISODate);
    return moment.isValid()
        ? QCoreApplication::translate("Receipts", withTime).arg(MomentText(moment))
        : QCoreApplication::translate("Receipts", alone);
}

} // namespace

QString ReceiptTime(const QDateTime& moment)
{
    return moment.toUTC().toString(Qt::ISODate);
}

QString ReceiptStateText(const SentNote& note)
{
    if (note.Due != 0)
        return DueText(note.Due);
    if (!note.Deleted.isEmpty())
        return EventText(QT_TRANSLATE_NOOP("Receipts", "deleted %1"),
            QT_TRANSLATE_NOOP("Receipts", "deleted"), note.Deleted);
    if (!note.Shown.isEmpty())
        return EventText(QT_TRANSLATE_NOOP("Receipts", "on screen since %1"),
            QT_TRANSLATE_NOOP("Receipts", "on screen"), note.Shown);
    return QCoreApplication::translate("Receipts", "waiting");
}

} // namespace vimo
