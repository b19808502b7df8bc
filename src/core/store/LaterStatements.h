#pragma once

#include "store/SqlStatement.h"

#include <QString>

namespace vimo {
struct NoteRow;
struct DeletedNote;
struct LaterNote;
} // namespace vimo

// The statements of the two tables beside MSGS that older copies never read: VIMO_DELETED,
// where a deleted note waits some days to be brought back, and VIMO_LATER, where a note
// written for later waits for its time. A note is in exactly one of MSGS, VIMO_DELETED and
// VIMO_LATER: every move between them is one transaction (one statement on a server).
namespace vimo {

QString DeletedTableCreation();
QString DeletedIndexCreation();
QString DeletedAgeIndexCreation();
QString LaterTableCreation();
QString LaterIdIndexCreation();
QString LaterDueIndexCreation();

// A file: the row copied aside (stamped gone at the writer's clock), in the transaction that
// then deletes it from MSGS. A server: both in one statement, at the server's clock.
SqlStatement KeepDeletedStatement(const NoteRow& row, qint64 gone);
SqlStatement MoveDeletedStatement(const NoteRow& row);
// TKEY,SENDER,DT,URGENCY,MSG,GONE of the recipient's deleted notes, newest first.
SqlStatement DeletedNotesQuery(const QString& recipient);
// Drops the notes deleted before the cutoff; on a server, before KeptDeletedSeconds ago.
SqlStatement DeletedPruneStatement(qint64 cutoff);
QString DeletedPruneOnServer();
// A file: the note back into MSGS under the key given, then out of VIMO_DELETED. A server:
// both in one statement that answers the key, the largest plus step (no row: it was gone).
SqlStatement RestoreStatement(const DeletedNote& note, qint64 key);
SqlStatement ForgetDeletedStatement(const DeletedNote& note);
SqlStatement RestoreOnServer(const DeletedNote& note, int step);
// The sender's receipt follows the note to its new key and says "on screen" again.
SqlStatement RestoredReceiptStatement(const DeletedNote& note, qint64 key);

// A note for later, once: the same note to the same person for the same moment is kept once,
// so a link that broke after the insert cannot make it twice.
SqlStatement ScheduleStatement(const LaterNote& note);
// Notes due by now (seconds since the epoch) that this user sends or receives.
SqlStatement DueCountQuery(const QString& user, qint64 now);
// ID,SENDER,RECIPIENT,DT,URGENCY,MSG,SENT of those, oldest first.
SqlStatement DueNotesQuery(const QString& user, qint64 now);
SqlStatement TakeLaterStatement(qint64 id);
// A server: the oldest due note into MSGS under the largest key plus step, with its receipt,
// and out of VIMO_LATER, in one statement; a note another copy is moving is skipped. Answers
// the key; no row when none is due.
SqlStatement MoveDueOnServer(const QString& user, int step);
// ID,RECIPIENT,DT,MSG,DUE of the sender's notes that wait, soonest first.
SqlStatement LaterOfSenderQuery(const QString& sender);
SqlStatement CancelLaterStatement(qint64 id, const QString& sender);

// The identity functions of the same, for the role that logged in.
QString DeletedNotesCall();
SqlStatement RestoreCall(const DeletedNote& note);
SqlStatement ScheduleCall(const LaterNote& note);
QString MoveDueCall();
QString LaterOfSenderCall();
SqlStatement CancelLaterCall(qint64 id);

} // namespace vimo
