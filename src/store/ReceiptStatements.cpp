#include "store/ReceiptStatements.h"

#include "model/TextRules.h"

#include <QStringList>

namespace vimo {
namespace {

QString Quoted(const QString& text)
{
    return QLatin1Char('\'') + QuoteSql(text) + QLatin1Char('\'');
}

// The row of the note, and the recipient's user in it.
QString RowMatch(const NoteIdentity& note)
{
    return QStringLiteral("TKEY=") + QString::number(note.Key) + QStringLiteral(" AND SENDER=")
        + Quoted(note.Sender) + QStringLiteral(" AND RECIPIENT=") + Quoted(note.Recipient)
        + QStringLiteral(" AND DT=") + QString::number(note.DateStamp);
}

QString RowCondition(const NoteIdentity& note)
{
    return QStringLiteral(" WHERE ") + RowMatch(note);
}

QString NewestOfSender(const QString& sender)
{
    return QStringLiteral(" FROM RCPTS WHERE SENDER=") + Quoted(sender)
        + QStringLiteral(" ORDER BY SENT DESC,TKEY DESC LIMIT ") + QString::number(SentListLength);
}

} // namespace

QString ReceiptsTableCreation()
{
    return QStringLiteral("CREATE TABLE IF NOT EXISTS RCPTS(TKEY INT,SENDER CHAR(15) NULL,"
                          "RECIPIENT CHAR(15) NULL,DT INT,MSG CHAR(250) NULL,SENT CHAR(20) NULL,"
                          "SHOWN CHAR(20) NULL,DELETED CHAR(20) NULL)");
}

QString ReceiptsSenderIndexCreation()
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS RCPTS_SENDER ON RCPTS(SENDER,SENT)");
}

QString ReceiptsKeyIndexCreation()
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS RCPTS_TKEY ON RCPTS(TKEY)");
}

QString SentRecordStatement(const NoteIdentity& note, const QString& text, const QString& sentAt)
{
    return QStringLiteral("INSERT INTO RCPTS (TKEY,SENDER,RECIPIENT,DT,MSG,SENT) SELECT ")
        + QString::number(note.Key) + QLatin1Char(',') + Quoted(note.Sender) + QLatin1Char(',')
        + Quoted(note.Recipient) + QLatin1Char(',') + QString::number(note.DateStamp)
        + QLatin1Char(',') + Quoted(text) + QLatin1Char(',') + Quoted(sentAt)
        + QStringLiteral(" WHERE NOT EXISTS (SELECT TKEY FROM RCPTS") + RowCondition(note)
        + QStringLiteral(" AND SENT=") + Quoted(sentAt) + QLatin1Char(')');
}

QString ShownReceiptStatement(const QList<NoteIdentity>& notes, const QString& at)
{
    QStringList rows;
    for (const NoteIdentity& note : notes)
        rows.append(QLatin1Char('(') + RowMatch(note) + QLatin1Char(')'));
    return QStringLiteral("UPDATE RCPTS SET SHOWN=") + Quoted(at)
        + QStringLiteral(" WHERE SHOWN IS NULL AND (") + rows.join(QStringLiteral(" OR "))
        + QLatin1Char(')');
}

QString DeletedReceiptStatement(const NoteIdentity& note, const QString& at)
{
    return QStringLiteral("UPDATE RCPTS SET DELETED=") + Quoted(at) + RowCondition(note)
        + QStringLiteral(" AND DELETED IS NULL");
}

QString SentNotesQuery(const QString& sender)
{
    return QStringLiteral("SELECT RECIPIENT,DT,MSG,SHOWN,DELETED") + NewestOfSender(sender);
}

QString SentPruneStatement(const QString& sender)
{
    // The subquery needs its name on PostgreSQL.
    return QStringLiteral("DELETE FROM RCPTS WHERE SENDER=") + Quoted(sender)
        + QStringLiteral(" AND SENT<(SELECT MIN(SENT) FROM (SELECT SENT") + NewestOfSender(sender)
        + QStringLiteral(") KEPT)");
}

} // namespace vimo
