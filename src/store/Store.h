#pragma once

#include "store/OdbcHandles.h"
#include "store/Receipts.h"
#include "store/StoreResult.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace vimo {

// The name of the user data source that every copy opens.
inline constexpr char16_t DataSourceName[] = u"VIMO";

// One link to the shared store and every statement the program runs on it. Made at start-up
// and handed to whoever reads or writes notes and users; a test or a tool may hold several.
// It never talks to the user: a refusal comes back in the result, for the caller to show.
class Store {
public:
    Store();
    ~Store();
    Q_DISABLE_COPY_MOVE(Store)

    // Drops the current link, if any, and connects a fresh one to the data source "VIMO".
    // Returns the connect code: non-negative means connected.
    SQLRETURN Connect();
    // The same, for a data source this process has just registered with our driver entry.
    SQLRETURN ConnectRegistered();
    // Drops the link; the next statement fails until a connect runs again.
    void Close();
    bool IsConnected() const;
    // The engine behind the link as its driver names it ("SQLite", "PostgreSQL"); empty
    // when there is no link.
    QString EngineName() const;

    // The executors. Each runs one statement, its trailing white space cut, on a handle of its
    // own. When it fails because the link is gone, the store connects again the way it last
    // did and runs it once more, so a restarted server or a remounted share does not leave a
    // running copy deaf.
    StoreResult<> ExecSql(const QString& statement);
    // The first column of the first row, trailing white space cut; the empty text when there
    // is no row or the value is NULL.
    StoreResult<QString> QueryFirstValue(const QString& statement);
    // The first column of every row in the store's order, each cut with TrimTrailingBlanks;
    // values that are then empty are left out. A fetch that fails midway keeps the rows read
    // up to then.
    StoreResult<QStringList> QueryColumnValues(const QString& statement);

    // The user directory.
    StoreResult<QStringList> UserNames();
    StoreResult<bool> IsKnownUser(const QString& name);
    StoreResult<> AddUser(const QString& name);

    // The notes. Numbers are read as atoi reads them: a key or urgency that is no number is 0,
    // and so is the largest key of an empty table.
    StoreResult<QList<int>> PollKeys(const QString& recipient);
    StoreResult<int> Urgency(int key);
    StoreResult<QString> NoteText(int key);
    StoreResult<int> LargestKey();
    // dateStamp is the decimal text of MakeDateStamp(); urgency is '1', '2' or '3'.
    StoreResult<> Post(const QString& text, const QString& recipient, const QString& sender,
        const QString& dateStamp, int key, QChar urgency);
    StoreResult<> Delete(int key);

    // The two tables of a new data file, and the indexes when the notes table is new: a file
    // that already had its notes is an older copy's and stays as it was. Returns every
    // creation the store refused, in order.
    QList<StoreFailure> CreateTables();

    // Seen receipts, in the table RCPTS beside the two. Copies that know only those two never
    // touch it, and their notes simply have no receipt.

    // Every column of every row, as text in the store's order, each value cut with
    // TrimTrailingBlanks; NULL reads as the empty text.
    StoreResult<QList<QStringList>> QueryRows(const QString& statement, int columns);
    // Makes the table and its indexes where they are missing, also on a store that older
    // copies made. Returns every creation the store refused, in order.
    QList<StoreFailure> CreateReceiptsTable();
    // The sender's record of a note just posted, which the receipts then fill in. The
    // sender's records beyond the newest 50 go with it.
    StoreResult<> RecordSent(const NoteIdentity& note, const QString& text,
        const QDateTime& at = QDateTime::currentDateTimeUtc());
    // The recipient's copy: the note first showed on screen, or was deleted there. A receipt
    // stamped already keeps its first time.
    StoreResult<> RecordShown(
        const NoteIdentity& note, const QDateTime& at = QDateTime::currentDateTimeUtc());
    StoreResult<> RecordDeleted(
        const NoteIdentity& note, const QDateTime& at = QDateTime::currentDateTimeUtc());
    // The sender's newest 50 records, newest first.
    StoreResult<QList<SentNote>> SentNotes(const QString& sender);

private:
    struct Run;
    SQLRETURN Open(bool registered);
    Run RunOnce(const QByteArray& text) const;
    Run RunStatement(const QString& statement);

    std::shared_ptr<OdbcLink> Link;
    bool Registered = false;
};

} // namespace vimo
