#include "store/Statements.h"

#include "store/TextRules.h"

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

QString UrgencyQuery(int key)
{
    return QStringLiteral("SELECT URGENCY FROM MSGS WHERE TKEY=") + QString::number(key);
}

QString NoteTextQuery(int key)
{
    return QStringLiteral("SELECT MSG FROM MSGS WHERE TKEY=") + QString::number(key);
}

QString NextKeyQuery()
{
    return QStringLiteral("SELECT MAX(TKEY) FROM MSGS");
}

QString PostStatement(const QString& text, const QString& recipient, const QString& sender,
    const QString& dateStamp, int key, QChar urgency)
{
    // Built piece by piece rather than with arg(): a quoted text may itself hold "%1".
    return QStringLiteral("INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,URGENCY) VALUES('")
        + QuoteSql(text) + QStringLiteral("','") + QuoteSql(recipient) + QStringLiteral("','")
        + QuoteSql(sender) + QStringLiteral("',") + dateStamp + QLatin1Char(',')
        + QString::number(key) + QLatin1Char(',') + urgency + QLatin1Char(')');
}

QString DeleteStatement(int key)
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

} // namespace vimo
