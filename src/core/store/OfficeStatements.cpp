#include "store/OfficeStatements.h"

#include "model/TextRules.h"

namespace vimo {

QString PresenceTableCreation()
{
    return QStringLiteral("CREATE TABLE IF NOT EXISTS VIMO_PRESENCE(NAME CHAR(15) PRIMARY KEY,"
                          "SEEN INT,STATE INT)");
}

QString GroupsTableCreation()
{
    return QStringLiteral("CREATE TABLE IF NOT EXISTS VIMO_GROUPS(GRP CHAR(15),MEMBER CHAR(15),"
                          "PRIMARY KEY(GRP,MEMBER))");
}

QString StoreNowExpression(bool dataFile)
{
    return dataFile ? QStringLiteral("CAST(strftime('%s','now') AS INTEGER)")
                    : QStringLiteral("CAST(EXTRACT(EPOCH FROM now()) AS INT)");
}

SqlStatement PresenceStatement(const QString& name, int state, bool dataFile)
{
    return { QStringLiteral("INSERT INTO VIMO_PRESENCE (NAME,SEEN,STATE) VALUES(?,")
            + StoreNowExpression(dataFile)
            + QStringLiteral(",?) ON CONFLICT(NAME) DO UPDATE SET SEEN=excluded.SEEN,"
                             "STATE=excluded.STATE"),
        { CutTrailingWhiteSpace(name), qint64(state) } };
}

SqlStatement PresenceForgetStatement(const QString& name)
{
    return { QStringLiteral("DELETE FROM VIMO_PRESENCE WHERE NAME=?"),
        { CutTrailingWhiteSpace(name) } };
}

QString PresenceQuery(bool dataFile)
{
    return QStringLiteral("SELECT NAME,SEEN,STATE,") + StoreNowExpression(dataFile)
        + QStringLiteral(" FROM VIMO_PRESENCE");
}

QString GroupsQuery()
{
    return QStringLiteral("SELECT GRP,MEMBER FROM VIMO_GROUPS ORDER BY GRP,MEMBER");
}

SqlStatement GroupClearStatement(const QString& group)
{
    return { QStringLiteral("DELETE FROM VIMO_GROUPS WHERE GRP=?"),
        { CutTrailingWhiteSpace(group) } };
}

SqlStatement GroupMemberStatement(const QString& group, const QString& member)
{
    return { QStringLiteral("INSERT INTO VIMO_GROUPS (GRP,MEMBER) VALUES(?,?)"),
        { CutTrailingWhiteSpace(group), CutTrailingWhiteSpace(member) } };
}

SqlStatement PresenceCall(int state)
{
    return { QStringLiteral("SELECT VIMO_HERE(?)"), { qint64(state) } };
}

QString PresenceForgetCall()
{
    return QStringLiteral("SELECT VIMO_HIDE()");
}

QString PresenceListCall()
{
    return QStringLiteral("SELECT NAME,SEEN,STATE,NOW FROM VIMO_PRESENCE_LIST()");
}

QString GroupsCall()
{
    return QStringLiteral("SELECT GRP,MEMBER FROM VIMO_GROUP_LIST() ORDER BY GRP,MEMBER");
}

SqlStatement GroupSetCall(const QString& group, const QStringList& members)
{
    return { QStringLiteral("SELECT VIMO_GROUP_SET(?,?)"),
        { CutTrailingWhiteSpace(group), members.join(u',') } };
}

} // namespace vimo
