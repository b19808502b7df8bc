#pragma once

#include "model/NoteRow.h"
#include "model/Receipts.h"
#include "store/Failures.h"
#include "store/OdbcHandles.h"
#include "store/StoreResult.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class QThread;

namespace vimo {

// The name of the user data source that every copy opens.
inline constexpr char16_t DataSourceName[] = u"VIMO";

// The name of the driver entry that stands behind new data files. One name, ours: the set-up
// registers it in odbcinst.ini with the SQLite ODBC driver and our set-up library.
inline constexpr char DriverName[] = VIMO_DRIVER_NAME;

// A note to be written: the values of its row but the key, which the store chooses.
struct NewNote {
    QString Text;
    QString Recipient;
    QString Sender;
    QString DateStamp; // the decimal text of MakeDateStamp()
    QChar Urgency = u'3'; // '1', '2' or '3'
};

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
    // What the driver said when the last connect failed; empty after a connect that worked.
    const Diagnostic& ConnectError() const { return LastConnectError; }
    // Drops the link; the next statement fails until a connect runs again.
    void Close();
    bool IsConnected() const;
    // The engine behind the link as its driver names it ("SQLite", "PostgreSQL"); empty
    // when there is no link.
    QString EngineName() const;
    // The connected role, where the store's row-level security binds it (a PostgreSQL store
    // with resources/postgresql-identity.sql): the one name this copy may sign in with. Empty
    // when nothing binds the link: a data file, a server without the policies, or the owner
    // of the tables. Learnt at every connect.
    const QString& BoundRole() const { return Role; }
    // The privileges a copy uses that the connected role lacks, each as a GRANT names it.
    StoreResult<QStringList> MissingGrants();

    // The link belongs to the first thread that uses it; in a debug build a second one is
    // stopped at once. A StoreWorker hands it over through this, at its start and its end.
    void ReleaseThread();

    // The executors. Each runs one statement, its trailing white space cut, on a handle of its
    // own. When it fails because the link is gone, the store connects again the way it last
    // did and runs it once more, so a restarted server or a remounted share does not leave a
    // running copy deaf. On a file store the link also follows its file: when the path names
    // another file than the one the link opened (restored from a copy, or gone), the link is
    // made anew before the statement runs.
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

    // Every note addressed to the recipient, whole, in the store's order. A poll either reads
    // all its rows or fails: a failure carries no rows. A row whose key is no whole number
    // within 64 bits cannot be told apart safely and is left out.
    StoreResult<QList<NoteRow>> Notes(const QString& recipient);

    // Writes a new note under the largest key plus step (or a free key below the top when
    // that does not fit the column) and returns the key. On SQLite the key is read and the row
    // written in one transaction that holds the file's write lock, so copies posting at once
    // never meet on a key; elsewhere a taken key comes back as a duplicate-key failure for
    // the caller to try again with a larger step. When the link breaks during the insert, the
    // store connects again and looks for the row before it writes it once more: a note is
    // never stored twice.
    StoreResult<qint64> InsertNote(const NewNote& note, int step = 1);

    // One insert of the post statement as given, for tools and tests.
    StoreResult<> Post(const QString& text, const QString& recipient, const QString& sender,
        const QString& dateStamp, qint64 key, QChar urgency);

    enum class Deletion { Deleted, AlreadyGone };
    // Deletes the row exactly, never another that shares its key. AlreadyGone when no such
    // row was left (another copy of the same user deleted it).
    StoreResult<Deletion> DeleteNote(const NoteRow& row);

    // True when both tables are there.
    bool HasTables();

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
    // The recipient's copy: the notes first showed on screen, or a note was deleted there. A
    // receipt stamped already keeps its first time. The notes of a whole poll go in a few
    // statements, not one each: a commit on a shared file can take a while.
    StoreResult<> RecordShown(
        const QList<NoteIdentity>& notes, const QDateTime& at = QDateTime::currentDateTimeUtc());
    StoreResult<> RecordShown(
        const NoteIdentity& note, const QDateTime& at = QDateTime::currentDateTimeUtc())
    {
        return RecordShown(QList<NoteIdentity> { note }, at);
    }
    StoreResult<> RecordDeleted(
        const NoteIdentity& note, const QDateTime& at = QDateTime::currentDateTimeUtc());
    // The sender's newest 50 records, newest first.
    StoreResult<QList<SentNote>> SentNotes(const QString& sender);

private:
    struct Run;
    struct InsertTry;
    enum class Retry { Once, Never };
    enum class Engine { Unknown, Sqlite, Other };
    struct FileIdentity {
        bool Exists = false;
        quint64 Device = 0;
        quint64 Inode = 0;
        bool operator==(const FileIdentity&) const = default;
    };

    SQLRETURN Open(bool registered);
    void LearnEngine();
    static FileIdentity IdentityOf(const QString& path);
    void FollowReplacedFile();
    Run RunOnce(const QByteArray& text) const;
    Run RunStatement(const QString& statement, Retry retry);
    StoreResult<QString> FirstValue(const QString& statement, Retry retry);
    InsertTry TryInsert(const NewNote& note, int step, NoteRow& row);
    StoreResult<qint64> FreeKey();
    void RollBack();
    void CheckThread() const;

    std::shared_ptr<OdbcLink> Link;
    bool Registered = false;
    Diagnostic LastConnectError;
    Engine Kind = Engine::Unknown;
    QString FilePath; // SQLite: the data file the link opened
    QString Role;
    FileIdentity OpenedFile;
    bool InTransaction = false;
    mutable std::atomic<QThread*> LinkThread { nullptr };
};

} // namespace vimo
