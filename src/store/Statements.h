#pragma once

#include <QString>

// Every SQL statement the program issues, as text. Text values go through QuoteSql here,
// at the moment the statement is built; callers pass them as typed.
namespace vimo {

QString UserListQuery();
QString UserLookupQuery(const QString& name);
QString AddUserStatement(const QString& name);
QString PollQuery(const QString& recipient);
QString UrgencyQuery(int key);
QString NoteTextQuery(int key);
QString NextKeyQuery();
// dateStamp is the decimal text of MakeDateStamp(); urgency is the character '1', '2' or '3'.
QString PostStatement(const QString& text, const QString& recipient, const QString& sender,
    const QString& dateStamp, int key, QChar urgency);
QString DeleteStatement(int key);
QString NotesTableCreation();
QString UsersTableCreation();

// Made with the tables of a new data file: a second copy can never store a key twice, and a
// poll stays fast when MSGS grows. Files made without them keep working.
QString NotesKeyIndexCreation();
QString NotesRecipientIndexCreation();

} // namespace vimo
