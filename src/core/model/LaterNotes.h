#pragma once

#include "model/NoteRow.h"

#include <QDateTime>
#include <QString>

#include <optional>

// Notes that wait beside MSGS: deleted ones that can still be brought back, and ones written
// for a later moment. Times are seconds since the epoch, UTC.
namespace vimo {

// How long a deleted note can be brought back: a slip on Friday afternoon is still undone on
// Monday after a holiday, and nobody's deleted notes pile up for good.
inline constexpr int KeptDeletedDays = 7;
inline constexpr qint64 KeptDeletedSeconds = qint64(KeptDeletedDays) * 24 * 60 * 60;

// A note deleted from its recipient's screen, as it was in MSGS, and when it went.
struct DeletedNote {
    qint64 Key = 0;
    QString Sender;
    QString Recipient;
    qint64 Stamp = 0;
    int Urgency = 3;
    QString Text;
    qint64 Gone = 0;

    bool operator==(const DeletedNote&) const = default;
};

// A note that goes into MSGS at Due; Stamp is the day it then shows, in the sender's zone.
struct LaterNote {
    qint64 Id = 0;
    QString Sender;
    QString Recipient;
    qint64 Stamp = 0;
    int Urgency = 3;
    QString Text;
    qint64 Due = 0;
};

// What the compose dialog offers first, local time: today 15:00 while that is half an hour away,
// else tomorrow 9:00.
QDateTime DefaultDue(const QDateTime& now);

// Why a note cannot be sent for that moment: it has passed, or it is more than a year ahead
// (a slip of the year, most likely). Nothing when it can.
std::optional<QString> DueRefusal(const QDateTime& due, const QDateTime& now);

// "at Tue 8 Dec 2026 15:00", local time.
QString DueText(qint64 due);

} // namespace vimo
