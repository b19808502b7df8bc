#include "store/Statements.h"

#include "model/KeyRules.h"
#include "model/NoteRow.h"
#include "model/TextRules.h"

#include <QStringList>

namespace vimo {

QString UserListQuery()
{
    return QStringLiteral("SELECT DISTINCT RECIPIENT FROM USRS");
}

SqlStatement UserLookupQuery(const QString& name)
{
    return { QStringLiteral("SELECT RECIPIENT FROM USRS WHERE RECIPIENT=?"),
        { CutTrailingWhiteSpace(name) } };
}

SqlStatement AddUserStatement(const QString& name)
{
    return { QStringLiteral("INSERT INTO USRS (RECIPIENT) VALUES(?)"),
        { CutTrailingWhiteSpace(name) } };
}

QString NextKeyQuery()
{
    return QStringLiteral("SELECT MAX(TKEY) FROM MSGS");
}

SqlStatement PostStatement(const QString& text, const QString& recipient, const QString& sender,
    const QString& dateStamp, qint64 key, QChar urgency)
{
    return { QStringLiteral("INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,URGENCY) "
                            "VALUES(?,?,?,?,?,?)"),
        { CutTrailingWhiteSpace(text), CutTrailingWhiteSpace(recipient),
            CutTrailingWhiteSpace(sender), dateStamp.toLongLong(), key,
            qint64(urgency.digitValue()) } };
}

QString NotesTableCreation()
{
    return QStringLiteral("CREATE TABLE MSGS(MSG CHAR(250) NULL,RECIPIENT CHAR(15) NULL,"
                          "SENDER CHAR(15) NULL,DT INT,URGENCY INT,TKEY INT)");
}

QString UsersTableCreation()
{
    return QStringLiteral("CREATE TABLE USRS(RECIPIENT CHAR(15))");
}

QString NotesKeyIndexCreation()
{
    return QStringLiteral("CREATE UNIQUE INDEX MSGS_TKEY ON MSGS(TKEY)");
}

QString NotesRecipientIndexCreation()
{
    return QStringLiteral("CREATE INDEX MSGS_RECIPIENT ON MSGS(RECIPIENT)");
}

SqlStatement NotesQuery(const QString& recipient)
{
    return { QStringLiteral("SELECT TKEY,SENDER,DT,URGENCY,MSG FROM MSGS WHERE RECIPIENT=?"),
        { CutTrailingWhiteSpace(recipient) } };
}

namespace {

// A text column equal to the value as read: NULL and the empty text read alike.
void TextEquals(SqlStatement& statement, const QString& column, const QString& value)
{
    const QString cut = CutTrailingWhiteSpace(value);
    if (cut.isEmpty()) {
        statement.Text += QStringLiteral(" AND COALESCE(") + column + QStringLiteral(",'')=''");
        return;
    }
    statement.Text += QStringLiteral(" AND ") + column + QStringLiteral("=?");
    statement.Values.append(cut);
}

// A number column equal to the value as read. A value that is no whole number (SQLite keeps
// what it is given) adds no condition: the other columns still tell the row apart.
void NumberEquals(SqlStatement& statement, const QString& column, const QString& value)
{
    if (value.isEmpty()) {
        statement.Text += QStringLiteral(" AND ") + column + QStringLiteral(" IS NULL");
        return;
    }
    const std::optional<qint64> number = ParseKey(value);
    if (!number)
        return;
    statement.Text += QStringLiteral(" AND ") + column + QStringLiteral("=?");
    statement.Values.append(*number);
}

} // namespace

SqlStatement WhereNote(const QString& head, const NoteRow& row)
{
    SqlStatement statement { head + QStringLiteral(" FROM MSGS WHERE TKEY=?"), { row.Key } };
    TextEquals(statement, QStringLiteral("RECIPIENT"), row.Recipient);
    TextEquals(statement, QStringLiteral("SENDER"), row.Sender);
    NumberEquals(statement, QStringLiteral("DT"), row.Stamp);
    NumberEquals(statement, QStringLiteral("URGENCY"), row.Urgency);
    TextEquals(statement, QStringLiteral("MSG"), row.Text);
    return statement;
}

SqlStatement DeleteNoteStatement(const NoteRow& row)
{
    return WhereNote(QStringLiteral("DELETE"), row);
}

SqlStatement NoteCountQuery(const NoteRow& row)
{
    return WhereNote(QStringLiteral("SELECT COUNT(*)"), row);
}

QString FreeKeyQuery()
{
    // The successor is computed as a 64-bit number: PostgreSQL's INT would overflow on the
    // top key itself, whichever order it evaluates the conditions in.
    return QStringLiteral("SELECT MIN(K.TKEY)+1 FROM MSGS K WHERE K.TKEY>=0 AND "
                          "K.TKEY<2147483647 AND NOT EXISTS(SELECT N.TKEY FROM MSGS N WHERE "
                          "N.TKEY=CAST(K.TKEY AS BIGINT)+1)");
}

QString TableCheckQuery(const QString& table)
{
    return QStringLiteral("SELECT COUNT(*) FROM ") + table + QStringLiteral(" WHERE 1=0");
}

QString BeginWriteStatement()
{
    return QStringLiteral("BEGIN IMMEDIATE");
}

QString CommitStatement()
{
    return QStringLiteral("COMMIT");
}

QString RollbackStatement()
{
    return QStringLiteral("ROLLBACK");
}

QString BoundRoleQuery()
{
    return QStringLiteral("SELECT CASE WHEN row_security_active(to_regclass('msgs')) THEN CASE "
                          "WHEN to_regprocedure('vimo_notes()') IS NULL THEN current_user "
                          "ELSE session_user END END");
}

QString IdentityFunctionsQuery()
{
    return QStringLiteral(
        "SELECT CASE WHEN to_regprocedure('vimo_notes()') IS NULL THEN 0 ELSE 1 END");
}

QString SharedNextKeyQuery()
{
    return QStringLiteral("SELECT VIMO_LARGEST_KEY()");
}

QString SharedFreeKeyQuery()
{
    return QStringLiteral("SELECT VIMO_FREE_KEY()");
}

QString MissingGrantsQuery()
{
    // A table or function that is not there reads as a privilege not held.
    return QStringLiteral(
        "SELECT W FROM (VALUES "
        "('SELECT ON MSGS',has_table_privilege(to_regclass('msgs'),'SELECT')),"
        "('INSERT ON MSGS',has_table_privilege(to_regclass('msgs'),'INSERT')),"
        "('DELETE ON MSGS',has_table_privilege(to_regclass('msgs'),'DELETE')),"
        "('SELECT ON USRS',has_table_privilege(to_regclass('usrs'),'SELECT')),"
        "('INSERT ON USRS',has_table_privilege(to_regclass('usrs'),'INSERT')),"
        "('SELECT ON RCPTS',has_table_privilege(to_regclass('rcpts'),'SELECT')),"
        "('INSERT ON RCPTS',has_table_privilege(to_regclass('rcpts'),'INSERT')),"
        "('DELETE ON RCPTS',has_table_privilege(to_regclass('rcpts'),'DELETE')),"
        "('UPDATE (SHOWN, DELETED) ON RCPTS',"
        "has_column_privilege(to_regclass('rcpts'),'shown','UPDATE') AND "
        "has_column_privilege(to_regclass('rcpts'),'deleted','UPDATE')),"
        "('EXECUTE ON FUNCTION VIMO_LARGEST_KEY()',"
        "has_function_privilege(to_regprocedure('vimo_largest_key()'),'EXECUTE')),"
        "('EXECUTE ON FUNCTION VIMO_FREE_KEY()',"
        "has_function_privilege(to_regprocedure('vimo_free_key()'),'EXECUTE'))"
        ") G(W,OK) WHERE OK IS NOT TRUE");
}

SqlStatement NotesCall()
{
    return QStringLiteral("SELECT TKEY,SENDER,DT,URGENCY,MSG FROM VIMO_NOTES()");
}

SqlStatement PostCall(const QString& text, const QString& recipient, const QString& dateStamp,
    QChar urgency, const QString& request)
{
    return { QStringLiteral("SELECT VIMO_POST(?,?,?,?,?)"),
        { CutTrailingWhiteSpace(recipient), CutTrailingWhiteSpace(text), dateStamp.toLongLong(),
            qint64(urgency.digitValue()), request } };
}

SqlStatement DeleteNoteCall(const NoteRow& row)
{
    return { QStringLiteral("SELECT VIMO_DELETE(?,?)"),
        { row.Key, CutTrailingWhiteSpace(row.Sender) } };
}

QString UserListCall()
{
    return QStringLiteral("SELECT DISTINCT RECIPIENT FROM VIMO_USERS()");
}

SqlStatement UserLookupCall(const QString& name)
{
    return { QStringLiteral("SELECT RECIPIENT FROM VIMO_USERS() WHERE RECIPIENT=?"),
        { CutTrailingWhiteSpace(name) } };
}

QString JoinCall()
{
    return QStringLiteral("SELECT VIMO_JOIN()");
}

QString WakeupChannelCall()
{
    return QStringLiteral("SELECT VIMO_CHANNEL()");
}

QString MissingExecuteGrantsQuery()
{
    QStringList rows;
    for (const char* function :
        { "VIMO_POST(TEXT,TEXT,BIGINT,BIGINT,TEXT)", "VIMO_NOTES()", "VIMO_DELETE(BIGINT,TEXT)",
            "VIMO_SHOWN(TEXT)", "VIMO_SENT()", "VIMO_USERS()", "VIMO_JOIN()", "VIMO_CHANNEL()" })
        rows.append(QStringLiteral("('EXECUTE ON FUNCTION %1',has_function_privilege("
                                   "to_regprocedure('%1'),'EXECUTE'))")
                        .arg(QLatin1String(function)));
    return QStringLiteral("SELECT W FROM (VALUES ") + rows.join(u',')
        + QStringLiteral(") G(W,OK) WHERE OK IS NOT TRUE");
}

} // namespace vimo
