#pragma once

#include "model/Receipts.h"
#include "store/SqlStatement.h"

#include <QList>
#include <QString>

// The statements of the receipts table RCPTS. One row per note sent, written by the sender,
// so that "Sent Vimos" can still list a note whose MSGS row is gone. The recipient's copy only
// ever stamps the row of a note addressed to its own user, and a sender only reads its own
// rows: a receipt shows a note to nobody but the two of them.
namespace vimo {

// Made when missing, on a new store and on one that older copies made.
QString ReceiptsTableCreation();
QString ReceiptsSenderIndexCreation();
QString ReceiptsKeyIndexCreation();

// The sender's record of a note just posted; sentAt is a ReceiptTime. Run twice (the link
// broke after the first one was stored, and the store ran it again), it records the note once.
SqlStatement SentRecordStatement(
    const NoteIdentity& note, const QString& text, const QString& sentAt);

// The first time the notes showed on the recipient's screen, and a note's deletion there. A
// later stamp never overwrites an earlier one.
SqlStatement ShownReceiptStatement(const QList<NoteIdentity>& notes, const QString& at);
SqlStatement DeletedReceiptStatement(const NoteIdentity& note, const QString& at);

// The sender's newest 50 records, newest first: RECIPIENT, DT, MSG, SHOWN, DELETED.
SqlStatement SentNotesQuery(const QString& sender);

// Drops the sender's records older than the newest 50: nobody can list them any more.
SqlStatement SentPruneStatement(const QString& sender);

// The identity functions' (Statements.h): the role's notes first shown, stamped by the
// server, and its newest records, as SentNotesQuery reads them. A post and a deletion there
// keep their receipts themselves.
SqlStatement ShownCall(const QList<NoteIdentity>& notes);
QString SentNotesCall();

// How many notes "Sent Vimos" lists.
inline constexpr int SentListLength = 50;

} // namespace vimo
