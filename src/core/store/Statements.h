#pragma once

#include "store/SqlStatement.h"

#include <QString>

namespace vimo {
struct NoteRow;
}

// Every SQL statement the program issues on the notes and users tables. Values travel bound to
// the `?` markers; text values are cut of their trailing white space here, as every stored
// value is, and callers pass them as typed.
namespace vimo {

QString UserListQuery();
SqlStatement UserLookupQuery(const QString& name);
SqlStatement AddUserStatement(const QString& name);
QString NextKeyQuery();
// dateStamp is the decimal text of MakeDateStamp(); urgency is the character '1', '2' or '3'.
// Stamp, key and urgency are stored as numbers.
SqlStatement PostStatement(const QString& text, const QString& recipient, const QString& sender,
    const QString& dateStamp, qint64 key, QChar urgency);
QString NotesTableCreation();
QString UsersTableCreation();

// Made with the tables of a new data file: a second copy can never store a key twice, and a
// poll stays fast when MSGS grows. Files made without them keep working.
QString NotesKeyIndexCreation();
QString NotesRecipientIndexCreation();

// The poll that reads each of the user's notes whole, in the store's order: a poll either
// read its rows or failed, and a window knows the row it shows.
// SELECT TKEY,SENDER,DT,URGENCY,MSG FROM MSGS WHERE RECIPIENT=?
SqlStatement NotesQuery(const QString& recipient);

// Deletes the one row a window shows, and no other that shares its key.
SqlStatement DeleteNoteStatement(const NoteRow& row);
// head (a SELECT list or DELETE) followed by " FROM MSGS WHERE" the one row, as above.
SqlStatement WhereNote(const QString& head, const NoteRow& row);
// How many rows are exactly this one: whether a post whose link broke was stored after all.
SqlStatement NoteCountQuery(const NoteRow& row);

// A key that is free and below the top of every engine's INT, for when the largest key plus
// one does not fit: one more than the lowest key whose successor is free. NULL when the table
// holds no such key, and then 1 is free.
QString FreeKeyQuery();

// Whether a table is there, at no cost: "SELECT COUNT(*) FROM MSGS WHERE 1=0".
QString TableCheckQuery(const QString& table);

// SQLite: the next-key read and the insert in one transaction that holds the file's write
// lock from its start, so two copies never read the same largest key.
QString BeginWriteStatement();
QString CommitStatement();
QString RollbackStatement();

// PostgreSQL with row-level security (resources/postgresql-identity.sql): the connected role
// when the store binds it, NULL when nothing binds it (no row-level security, or the tables'
// owner). Where the store offers the identity functions they act for the role that logged
// in, and so does this; the earlier mode's policies compared with the current role.
QString BoundRoleQuery();
// 1 when the store offers a bound role the identity functions instead of its tables.
QString IdentityFunctionsQuery();
// A bound role sees only its own notes; these read every key on its behalf, so that a new
// key is still free among all of them.
QString SharedNextKeyQuery();
QString SharedFreeKeyQuery();
// One row for each privilege a copy uses that the connected role lacks, as a GRANT names it:
// "INSERT ON USRS".
QString MissingGrantsQuery();

// The identity functions, for a bound role that may touch no table. Each acts for the role
// that logged in: its notes, its name, its receipts.
// SELECT TKEY,SENDER,DT,URGENCY,MSG FROM VIMO_NOTES()
SqlStatement NotesCall();
// The server takes the sender from the login and chooses the key, which the call answers.
// A second call with the same request (its answer was lost) stores nothing more.
SqlStatement PostCall(const QString& text, const QString& recipient, const QString& dateStamp,
    QChar urgency, const QString& request);
// Answers 1 when it deleted the row (and stamped its receipt), 0 when it was gone.
SqlStatement DeleteNoteCall(const NoteRow& row);
QString UserListCall();
SqlStatement UserLookupCall(const QString& name);
// Adds the role's own name, whatever name a caller has in mind.
QString JoinCall();
// The role's secret wake-up channel.
QString WakeupChannelCall();
QString MissingExecuteGrantsQuery();

} // namespace vimo
