#pragma once

#include <QDateTime>
#include <QString>

// Seen receipts: the sender's record of each note sent, which the recipient's copy fills in
// when the note first shows and when it is deleted there.
namespace vimo {

// The MSGS row a receipt is about. A key alone is not enough: once a note is deleted its key
// may be taken by the next note, another sender's to another recipient.
struct NoteIdentity {
    qint64 Key = 0;
    QString Sender;
    QString Recipient;
    int DateStamp = 0;
};

// One line of the sender's "Sent Vimos". The receipt times are as the store holds them:
// empty while the event has not come.
struct SentNote {
    QString Recipient;
    int DateStamp = 0;
    QString Text;
    QString Shown;
    QString Deleted;
    // A note for later that still waits: its row there, and when it comes.
    qint64 LaterId = 0;
    qint64 Due = 0;
};

// A moment as receipts store it: UTC, to the second, "2026-12-07T10:42:05Z". UTC, because
// the sender may read in another time zone than the recipient wrote.
QString ReceiptTime(const QDateTime& moment);

// "at Tue 8 Dec 2026 15:00" for a note for later, "waiting", "on screen since Mon 7 Dec 2026 10:42"
// or "deleted Mon 7 Dec 2026 10:50", the time in local time. A receipt time that cannot be read
// still counts, without its time.
QString ReceiptStateText(const SentNote& note);

} // namespace vimo
