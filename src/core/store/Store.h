#pragma once

#include "store/StoreResult.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class QThread;

namespace vimo {

class OdbcLink;

// The name of the user data source that every copy opens.
inline constexpr char16_t DataSourceName[] = u"VIMO";

// The name of the driver entry that stands behind new data files. One name, ours: the set-up
// registers it in odbcinst.ini with the SQLite ODBC driver and our set-up library.
inline constexpr char DriverName[] = VIMO_DRIVER_NAME;

// One link to the shared store. Made at start-up and handed to whoever reads or writes notes,
// users and receipts (NoteTable, UserTable, ReceiptTable); a test or a tool may hold several.
// It never talks to the user: a refusal comes back in the result, for the caller to show.
//
// Every statement runs on a handle of its own, its values bound. When it fails because the
// link is gone (or its server takes no writes any more), the store connects again the way it
// last did and runs it once more, so a restarted server, a primary that has become a standby
// while its address moved on, or a remounted share does not leave a running copy deaf. On a file
// store the link also follows its file: when the path names another file than the one the link
// opened (restored from a copy, or gone), the link is made anew before the statement runs.
class Store {
public:
    Store();
    ~Store();
    Q_DISABLE_COPY_MOVE(Store)

    // Drops the current link, if any, and connects a fresh one to the data source "VIMO".
    StoreResult<> Connect();
    // The same, for a data source this process has just registered with our driver entry.
    StoreResult<> ConnectRegistered();
    // Drops the link; the next statement fails until a connect runs again.
    void Close();
    bool IsConnected() const;
    // The engine behind the link as its driver names it ("SQLite", "PostgreSQL"); empty
    // when there is no link.
    QString EngineName() const;
    // A data file, where a write transaction holds the whole file; else a server.
    bool IsFileStore() const { return Kind == Engine::Sqlite; }
    // The connected role, where the store's row-level security binds it (a PostgreSQL store
    // with resources/postgresql-identity.sql): the one name this copy may sign in with. Empty
    // when nothing binds the link: a data file, a server without the policies, or the owner
    // of the tables. Learnt at every connect.
    const QString& BoundRole() const { return Role; }
    // True when the bound role reaches the store through the identity functions and no table;
    // false where the store binds it by policies on its tables, as the earlier identity mode
    // did, and where nothing binds it. Learnt with BoundRole, and again when the store refuses
    // the bound role a table (upgraded under a running copy).
    bool ThroughFunctions() const { return Functions; }
    // The privileges a copy uses that the connected role lacks, each as a GRANT names it.
    StoreResult<QStringList> MissingGrants();
    // Through the identity functions: the bound role's secret wake-up channel, made at the
    // first ask. Empty elsewhere.
    StoreResult<QString> OwnWakeupChannel();

    // The link belongs to the first thread that uses it; in a debug build a second one is
    // stopped at once. A StoreWorker hands it over through this, at its start and its end.
    void ReleaseThread();

private:
    // The runner of statements on this link, private to the store's own sources.
    friend class StoreSql;

    enum class Engine { Unknown, Sqlite, Other };
    struct FileIdentity {
        bool Exists = false;
        quint64 Device = 0;
        quint64 Inode = 0;
        bool operator==(const FileIdentity&) const = default;
    };

    StoreResult<> Open(bool registered);
    // As the link was last made.
    StoreResult<> Reopen() { return Open(Registered); }
    void LearnEngine();
    void LearnRole();
    static FileIdentity IdentityOf(const QString& path);
    void FollowReplacedFile();
    void CheckThread() const;

    std::shared_ptr<OdbcLink> Link;
    bool Registered = false;
    Diagnostic LastConnectError;
    Engine Kind = Engine::Unknown;
    // psqlODBC's ANSI driver refuses wide-character values; it takes UTF-8.
    bool WideText = true;
    QString FilePath; // SQLite: the data file the link opened
    QString Role; // PostgreSQL: the role the store binds, if any
    bool Functions = false; // the bound role goes through the identity functions
    FileIdentity OpenedFile;
    bool InTransaction = false;
    QSet<size_t> RowsLeftOut; // rows logged as too long to read
    mutable std::atomic<QThread*> LinkThread { nullptr };
};

} // namespace vimo
