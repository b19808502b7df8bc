#include "store/Statements.h"

#include "model/KeyRules.h"
#include "model/NoteRow.h"
#include "model/TextRules.h"

namespace vimo {

QString UserListQuery()
{
    return QStringLiteral("SELECT DISTINCT RECIPIENT FROM USRS");
}

QString UserLookupQuery(const QString& name)
{
    return QStringLiteral("SELECT RECIPIENT FROM USRS WHERE RECIPIENT='") + QuoteSql(name)
        + QLatin1Char('\'');
}

QString AddUserStatement(const QString& name)
{
    return QStringLiteral("INSERT INTO USRS (RECIPIENT) VALUES('") + QuoteSql(name)
        + QStringLiteral("')");
}

QString PollQuery(const QString& recipient)
{
    return QStringLiteral("SELECT TKEY FROM MSGS WHERE RECIPIENT='") + QuoteSql(recipient)
        + QLatin1Char('\'');
}

QString UrgencyQuery(qint64 key)
{
    return QStringLiteral("SELECT URGENCY FROM MSGS WHERE TKEY=") + QString::number(key);
}

QString NoteTextQuery(qint64 key)
{
    return QStringLiteral("SELECT MSG FROM MSGS WHERE TKEY=") + QString::number(key);
}

QString NextKeyQuery()
{
    return QStringLiteral("SELECT MAX(TKEY) FROM MSGS");
}

QString PostStatement(const QString& text, const QString& recipient, const QString& sender,
    const QString& dateStamp, qint64 key, QChar urgency)
{
    // Built piece by piece rather than with arg(): a quoted text may itself hold "%1".
    return QStringLiteral("INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,URGENCY) VALUES('")
        + QuoteSql(text) + QStringLiteral("','") + QuoteSql(recipient) + QStringLiteral("','")
        + QuoteSql(sender) + QStringLiteral("',") + dateStamp + QLatin1Char(',')
        + QString::number(key) + QLatin1Char(',') + urgency + QLatin1Char(')');
}

QString DeleteStatement(qint64 key)
{
    return QStringLiteral("DELETE FROM MSGS WHERE TKEY=") + QString::number(key);
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

QString NotesQuery(const QString& recipient)
{
    return QStringLiteral("SELECT TKEY,SENDER,DT,URGENCY,MSG FROM MSGS WHERE RECIPIENT='")
        + QuoteSql(recipient) + QLatin1Char('\'');
}

namespace {

// A text column equal to the value as read: NULL and the empty text read alike.
QString TextEquals(const QString& column, const QString& value)
{
    const QString quoted = QuoteSql(value);
    if (quoted.isEmpty())
        return QStringLiteral("COALESCE(") + column + QStringLiteral(",'')=''");
    return column + QStringLiteral("='") + quoted + QLatin1Char('\'');
}

// A number column equal to the value as read. A value that is no whole number (SQLite keeps
// what it is given) adds no condition: the other columns still tell the row apart.
QString NumberEquals(const QString& column, const QString& value)
{
    if (value.isEmpty())
        return QStringLiteral(" AND ") + column + QStringLiteral(" IS NULL");
    const std::optional<qint64> number = ParseKey(value);
    if (!number)
        return QString();
    return QStringLiteral(" AND ") + column + QLatin1Char('=') + QString::number(*number);
}

QString NoteCondition(const NoteRow& row)
{
    return QStringLiteral("TKEY=") + QString::number(row.Key) + QStringLiteral(" AND ")
        + TextEquals(QStringLiteral("RECIPIENT"), row.Recipient) + QStringLiteral(" AND ")
        + TextEquals(QStringLiteral("SENDER"), row.Sender)
        + NumberEquals(QStringLiteral("DT"), row.Stamp)
        + NumberEquals(QStringLiteral("URGENCY"), row.Urgency) + QStringLiteral(" AND ")
        + TextEquals(QStringLiteral("MSG"), row.Text);
}

} // namespace

QString DeleteNoteStatement(const NoteRow& row)
{
    return QStringLiteral("DELETE FROM MSGS WHERE ") + NoteCondition(row);
}

QString NoteCountQuery(const NoteRow& row)
{
    return QStringLiteral("SELECT COUNT(*) FROM MSGS WHERE ") + NoteCondition(row);
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
    return QStringLiteral(
        "SELECT CASE WHEN row_security_active(to_regclass('msgs')) THEN current_user END");
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

} // namespace vimo
