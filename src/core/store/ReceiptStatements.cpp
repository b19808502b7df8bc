#include "store/ReceiptStatements.h"

#include "model/TextRules.h"

#include <QStringList>

namespace vimo {
namespace {

// The row of the note, and the recipient's user in it.
void MatchRow(SqlStatement& statement, const NoteIdentity& note)
{
    statement.Text += QStringLiteral("TKEY=? AND SENDER=? AND RECIPIENT=? AND DT=?");
    statement.Values << note.Key << CutTrailingWhiteSpace(note.Sender)
                     << CutTrailingWhiteSpace(note.Recipient) << qint64(note.DateStamp);
}

void NewestOfSender(SqlStatement& statement, const QString& sender)
{
    statement.Text += QStringLiteral(" FROM RCPTS WHERE SENDER=? ORDER BY SENT DESC,TKEY DESC "
                                     "LIMIT ")
        + QString::number(SentListLength);
    statement.Values << CutTrailingWhiteSpace(sender);
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

SqlStatement SentRecordStatement(
    const NoteIdentity& note, const QString& text, const QString& sentAt)
{
    SqlStatement statement { QStringLiteral(
                                 "INSERT INTO RCPTS (TKEY,SENDER,RECIPIENT,DT,MSG,SENT) SELECT "
                                 "?,?,?,?,?,? WHERE NOT EXISTS (SELECT TKEY FROM RCPTS WHERE "),
        { note.Key, CutTrailingWhiteSpace(note.Sender), CutTrailingWhiteSpace(note.Recipient),
            qint64(note.DateStamp), CutTrailingWhiteSpace(text), sentAt } };
    MatchRow(statement, note);
    statement.Text += QStringLiteral(" AND SENT=?)");
    statement.Values << sentAt;
    return statement;
}

SqlStatement ShownReceiptStatement(const QList<NoteIdentity>& notes, const QString& at)
{
    SqlStatement statement { QStringLiteral("UPDATE RCPTS SET SHOWN=? WHERE SHOWN IS NULL AND ("),
        { at } };
    for (qsizetype i = 0; i < notes.size(); ++i) {
        statement.Text += i == 0 ? QStringLiteral("(") : QStringLiteral(" OR (");
        MatchRow(statement, notes[i]);
        statement.Text += QLatin1Char(')');
    }
    statement.Text += QLatin1Char(')');
    return statement;
}

SqlStatement DeletedReceiptStatement(const NoteIdentity& note, const QString& at)
{
    SqlStatement statement { QStringLiteral("UPDATE RCPTS SET DELETED=? WHERE "), { at } };
    MatchRow(statement, note);
    statement.Text += QStringLiteral(" AND DELETED IS NULL");
    return statement;
}

SqlStatement SentNotesQuery(const QString& sender)
{
    SqlStatement statement { QStringLiteral("SELECT RECIPIENT,DT,MSG,SHOWN,DELETED") };
    NewestOfSender(statement, sender);
    return statement;
}

SqlStatement SentPruneStatement(const QString& sender)
{
    // The subquery needs its name on PostgreSQL.
    SqlStatement statement { QStringLiteral("DELETE FROM RCPTS WHERE SENDER=? AND "
                                            "SENT<(SELECT MIN(SENT) FROM (SELECT SENT"),
        { CutTrailingWhiteSpace(sender) } };
    NewestOfSender(statement, sender);
    statement.Text += QStringLiteral(") KEPT)");
    return statement;
}

SqlStatement ShownCall(const QList<NoteIdentity>& notes)
{
    QStringList keys;
    for (const NoteIdentity& note : notes)
        keys.append(QString::number(note.Key));
    return { QStringLiteral("SELECT VIMO_SHOWN(?)"), { keys.join(u',') } };
}

QString SentNotesCall()
{
    return QStringLiteral("SELECT RECIPIENT,DT,MSG,SHOWN,DELETED FROM VIMO_SENT() "
                          "ORDER BY SENT DESC,TKEY DESC");
}

} // namespace vimo
