#include "store/LaterStatements.h"

#include "model/LaterNotes.h"
#include "model/Receipts.h"
#include "model/TextRules.h"
#include "store/Statements.h"

namespace vimo {
namespace {

const QString ServerNow = QStringLiteral("CAST(EXTRACT(EPOCH FROM now()) AS INT)");

// The one deleted note: its row as it was, and when it went.
SqlStatement& WhereDeleted(SqlStatement& statement, const DeletedNote& note)
{
    statement.Text += QStringLiteral(" WHERE TKEY=? AND RECIPIENT=? AND COALESCE(RTRIM(SENDER),"
                                     "'')=? AND COALESCE(DT,0)=? AND GONE=?");
    statement.Values << note.Key << CutTrailingWhiteSpace(note.Recipient)
                     << CutTrailingWhiteSpace(note.Sender) << note.Stamp << note.Gone;
    return statement;
}

SqlStatement& WhereDue(SqlStatement& statement, const QString& user)
{
    statement.Text += QStringLiteral(" FROM VIMO_LATER WHERE (RECIPIENT=? OR SENDER=?) AND DUE<=");
    statement.Values << CutTrailingWhiteSpace(user) << CutTrailingWhiteSpace(user);
    return statement;
}

} // namespace

QString DeletedTableCreation()
{
    return QStringLiteral(
        "CREATE TABLE IF NOT EXISTS VIMO_DELETED(TKEY INT,SENDER CHAR(15) NULL,"
        "RECIPIENT CHAR(15) NULL,DT INT,URGENCY INT,MSG CHAR(250) NULL,GONE INT)");
}

QString DeletedIndexCreation()
{
    return QStringLiteral(
        "CREATE INDEX IF NOT EXISTS VIMO_DELETED_RECIPIENT ON VIMO_DELETED(RECIPIENT,GONE)");
}

QString DeletedAgeIndexCreation()
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS VIMO_DELETED_GONE ON VIMO_DELETED(GONE)");
}

QString LaterTableCreation()
{
    return QStringLiteral("CREATE TABLE IF NOT EXISTS VIMO_LATER(ID INT,SENDER CHAR(15) NULL,"
                          "RECIPIENT CHAR(15) NULL,DT INT,URGENCY INT,MSG CHAR(250) NULL,DUE INT,"
                          "SENT CHAR(20) NULL)");
}

QString LaterIdIndexCreation()
{
    return QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS VIMO_LATER_ID ON VIMO_LATER(ID)");
}

QString LaterDueIndexCreation()
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS VIMO_LATER_DUE ON VIMO_LATER(DUE)");
}

SqlStatement KeepDeletedStatement(const NoteRow& row, qint64 gone)
{
    SqlStatement statement
        = WhereNote(QStringLiteral("INSERT INTO VIMO_DELETED (TKEY,SENDER,RECIPIENT,DT,URGENCY,"
                                   "MSG,GONE) SELECT TKEY,SENDER,RECIPIENT,DT,URGENCY,MSG,?"),
            row);
    statement.Values.prepend(gone);
    return statement;
}

SqlStatement MoveDeletedStatement(const NoteRow& row)
{
    SqlStatement statement = WhereNote(QStringLiteral("WITH D AS (DELETE"), row);
    statement.Text
        += QStringLiteral(" RETURNING TKEY,SENDER,RECIPIENT,DT,URGENCY,MSG) INSERT INTO "
                          "VIMO_DELETED (TKEY,SENDER,RECIPIENT,DT,URGENCY,MSG,GONE) SELECT "
                          "TKEY,SENDER,RECIPIENT,DT,URGENCY,MSG,")
        + ServerNow + QStringLiteral(" FROM D");
    return statement;
}

SqlStatement DeletedNotesQuery(const QString& recipient)
{
    return { QStringLiteral("SELECT TKEY,SENDER,DT,URGENCY,MSG,GONE FROM VIMO_DELETED WHERE "
                            "RECIPIENT=? ORDER BY GONE DESC,TKEY DESC LIMIT 100"),
        { CutTrailingWhiteSpace(recipient) } };
}

SqlStatement DeletedPruneStatement(qint64 cutoff)
{
    return { QStringLiteral("DELETE FROM VIMO_DELETED WHERE GONE<?"), { cutoff } };
}

QString DeletedPruneOnServer()
{
    return QStringLiteral("DELETE FROM VIMO_DELETED WHERE GONE<") + ServerNow + QLatin1Char('-')
        + QString::number(KeptDeletedSeconds);
}

SqlStatement RestoreStatement(const DeletedNote& note, qint64 key)
{
    SqlStatement statement { QStringLiteral("INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,"
                                            "URGENCY) SELECT MSG,RECIPIENT,SENDER,DT,?,URGENCY "
                                            "FROM VIMO_DELETED"),
        { key } };
    return WhereDeleted(statement, note);
}

SqlStatement ForgetDeletedStatement(const DeletedNote& note)
{
    SqlStatement statement { QStringLiteral("DELETE FROM VIMO_DELETED") };
    return WhereDeleted(statement, note);
}

SqlStatement RestoreOnServer(const DeletedNote& note, int step)
{
    SqlStatement statement { QStringLiteral("WITH R AS (DELETE FROM VIMO_DELETED") };
    WhereDeleted(statement, note);
    statement.Text += QStringLiteral(
        " RETURNING MSG,RECIPIENT,SENDER,DT,URGENCY) INSERT INTO MSGS (MSG,RECIPIENT,SENDER,"
        "DT,TKEY,URGENCY) SELECT R.MSG,R.RECIPIENT,R.SENDER,R.DT,(SELECT COALESCE(MAX(TKEY),0)+? "
        "FROM MSGS),R.URGENCY FROM R RETURNING TKEY");
    statement.Values << qint64(step);
    return statement;
}

SqlStatement RestoredReceiptStatement(const DeletedNote& note, qint64 key)
{
    return { QStringLiteral("UPDATE RCPTS SET TKEY=?,DELETED=NULL WHERE TKEY=? AND SENDER=? AND "
                            "RECIPIENT=? AND DT=?"),
        { key, note.Key, CutTrailingWhiteSpace(note.Sender), CutTrailingWhiteSpace(note.Recipient),
            note.Stamp } };
}

SqlStatement ScheduleStatement(const LaterNote& note)
{
    const QString sender = CutTrailingWhiteSpace(note.Sender);
    const QString recipient = CutTrailingWhiteSpace(note.Recipient);
    const QString text = CutTrailingWhiteSpace(note.Text);
    return { QStringLiteral(
                 "INSERT INTO VIMO_LATER (ID,SENDER,RECIPIENT,DT,URGENCY,MSG,DUE,SENT) SELECT "
                 "K.N,?,?,?,?,?,?,? FROM (SELECT COALESCE(MAX(ID),0)+1 AS N FROM VIMO_LATER) K "
                 "WHERE NOT EXISTS (SELECT ID FROM VIMO_LATER WHERE SENDER=? AND RECIPIENT=? AND "
                 "DUE=? AND MSG=?)"),
        { sender, recipient, note.Stamp, qint64(note.Urgency), text, note.Due,
            ReceiptTime(QDateTime::fromSecsSinceEpoch(note.Due, Qt::UTC)), sender, recipient,
            note.Due, text } };
}

SqlStatement DueCountQuery(const QString& user, qint64 now)
{
    SqlStatement statement { QStringLiteral("SELECT COUNT(*)") };
    WhereDue(statement, user).Text += QLatin1Char('?');
    statement.Values << now;
    return statement;
}

SqlStatement DueNotesQuery(const QString& user, qint64 now)
{
    SqlStatement statement { QStringLiteral("SELECT ID,SENDER,RECIPIENT,DT,URGENCY,MSG,SENT") };
    WhereDue(statement, user).Text += QStringLiteral("? ORDER BY DUE,ID");
    statement.Values << now;
    return statement;
}

SqlStatement TakeLaterStatement(qint64 id)
{
    return { QStringLiteral("DELETE FROM VIMO_LATER WHERE ID=?"), { id } };
}

SqlStatement MoveDueOnServer(const QString& user, int step)
{
    SqlStatement statement { QStringLiteral(
        "WITH L AS (DELETE FROM VIMO_LATER WHERE ID=(SELECT ID") };
    WhereDue(statement, user);
    statement.Text += ServerNow
        + QStringLiteral(
            " ORDER BY DUE,ID LIMIT 1 FOR UPDATE SKIP LOCKED) RETURNING SENDER,RECIPIENT,DT,"
            "URGENCY,MSG,SENT),K AS (SELECT COALESCE(MAX(TKEY),0)+? AS N FROM MSGS),"
            "R AS (INSERT INTO RCPTS (TKEY,SENDER,RECIPIENT,DT,MSG,SENT) SELECT K.N,L.SENDER,"
            "L.RECIPIENT,L.DT,L.MSG,L.SENT FROM L,K) INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,"
            "TKEY,URGENCY) SELECT L.MSG,L.RECIPIENT,L.SENDER,L.DT,K.N,L.URGENCY FROM L,K "
            "RETURNING TKEY");
    statement.Values << qint64(step);
    return statement;
}

SqlStatement LaterOfSenderQuery(const QString& sender)
{
    return { QStringLiteral("SELECT ID,RECIPIENT,DT,MSG,DUE FROM VIMO_LATER WHERE SENDER=? "
                            "ORDER BY DUE,ID"),
        { CutTrailingWhiteSpace(sender) } };
}

SqlStatement CancelLaterStatement(qint64 id, const QString& sender)
{
    return { QStringLiteral("DELETE FROM VIMO_LATER WHERE ID=? AND SENDER=?"),
        { id, CutTrailingWhiteSpace(sender) } };
}

QString DeletedNotesCall()
{
    return QStringLiteral("SELECT TKEY,SENDER,DT,URGENCY,MSG,GONE FROM VIMO_DELETED_NOTES() "
                          "ORDER BY GONE DESC,TKEY DESC");
}

SqlStatement RestoreCall(const DeletedNote& note)
{
    return { QStringLiteral("SELECT VIMO_RESTORE(?,?,?,?)"),
        { note.Key, CutTrailingWhiteSpace(note.Sender), note.Stamp, note.Gone } };
}

SqlStatement ScheduleCall(const LaterNote& note)
{
    return { QStringLiteral("SELECT VIMO_POST_LATER(?,?,?,?,?)"),
        { CutTrailingWhiteSpace(note.Recipient), CutTrailingWhiteSpace(note.Text), note.Stamp,
            qint64(note.Urgency), note.Due } };
}

QString MoveDueCall()
{
    return QStringLiteral("SELECT VIMO_MOVE_DUE()");
}

QString LaterOfSenderCall()
{
    return QStringLiteral("SELECT ID,RECIPIENT,DT,MSG,DUE FROM VIMO_LATER_SENT() ORDER BY DUE,ID");
}

SqlStatement CancelLaterCall(qint64 id)
{
    return { QStringLiteral("SELECT VIMO_TAKE_BACK(?)"), { id } };
}

} // namespace vimo
