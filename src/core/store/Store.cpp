#include "store/Store.h"

#include "store/Failures.h"
#include "store/OdbcHandles.h"
#include "store/Statements.h"
#include "store/StoreSql.h"

#include <QFile>
#include <QThread>

#include <tuple>

#include <sys/stat.h>

namespace vimo {
namespace {

QString InfoText(SQLHDBC connection, SQLUSMALLINT item)
{
    char value[1024] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(connection, item, value, sizeof value, &length)))
        return QString();
    return QString::fromUtf8(value);
}

} // namespace

Store::Store() = default;
Store::~Store() = default;

StoreResult<> Store::Connect()
{
    return Open(false);
}

StoreResult<> Store::ConnectRegistered()
{
    return Open(true);
}

void Store::ReleaseThread()
{
    LinkThread = nullptr;
}

void Store::CheckThread() const
{
    QThread* const current = QThread::currentThread();
    QThread* expected = nullptr;
    if (LinkThread.compare_exchange_strong(expected, current))
        return;
    Q_ASSERT_X(expected == current, "Store", "the link is touched from a second thread");
}

StoreResult<> Store::Open(bool registered)
{
    CheckThread();
    Registered = registered;
    InTransaction = false;
    // The old link goes first, so that the environment is rebuilt from scratch as well.
    Link.reset();
    auto link = std::make_shared<OdbcLink>();
    const QString dataSource = QString::fromUtf16(DataSourceName);
    const SQLRETURN rc = registered
        ? link->ConnectThroughDriver(dataSource, QString::fromLatin1(DriverName))
        : link->Connect(dataSource);
    LastConnectError = rc < 0 ? ReadDiagnostic(SQL_HANDLE_DBC, link->Connection) : Diagnostic {};
    Link = std::move(link);
    if (rc < 0)
        return { {}, MakeFailure({}, LastConnectError) };
    LearnEngine();
    return {};
}

void Store::LearnEngine()
{
    // psqlODBC's ANSI build refuses wide-character values (HYC00) and takes UTF-8, the client
    // encoding that our data sources set; its Unicode build and the SQLite driver take both.
    WideText = InfoText(Link->Connection, SQL_DRIVER_NAME) != QLatin1String("psqlodbca.so");
    if (InfoText(Link->Connection, SQL_DBMS_NAME) != QLatin1String("SQLite")) {
        Kind = Engine::Other;
        FilePath.clear();
        if (InfoText(Link->Connection, SQL_DBMS_NAME) == QLatin1String("PostgreSQL"))
            LearnRole();
        return;
    }
    Kind = Engine::Sqlite;
    Role.clear();
    Functions = false;
    // The SQLite driver names the file it opened.
    FilePath = InfoText(Link->Connection, SQL_DATABASE_NAME);
    OpenedFile = IdentityOf(FilePath);
}

void Store::LearnRole()
{
    // A question that fails keeps what the last link said: it was the same data source.
    StoreSql sql(*this);
    const StoreResult<QString> bound = sql.FirstValue(BoundRoleQuery(), StoreSql::Retry::Never);
    if (bound.Failure)
        return;
    Role = bound.Value;
    const StoreResult<QString> functions = Role.isEmpty()
        ? StoreResult<QString> {}
        : sql.FirstValue(IdentityFunctionsQuery(), StoreSql::Retry::Never);
    if (functions.Succeeded())
        Functions = functions.Value == QLatin1String("1");
}

Store::FileIdentity Store::IdentityOf(const QString& path)
{
    struct stat status { };
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return { true, quint64(status.st_dev), quint64(status.st_ino) };
}

void Store::FollowReplacedFile()
{
    if (Kind != Engine::Sqlite || InTransaction || !IsConnected() || FilePath.isEmpty())
        return;
    // A file deleted and restored from a copy, or a share mounted anew, is another file under
    // the same path; the link would go on reading the old one, unlinked, and never see a new
    // note. A path that names no file at all (a share gone) ends the link just the same; the
    // statement that follows says why.
    if (IdentityOf(FilePath) != OpenedFile)
        std::ignore = Reopen();
}

void Store::Close()
{
    CheckThread();
    Link.reset();
    InTransaction = false;
}

bool Store::IsConnected() const
{
    return Link && Link->IsConnected();
}

QString Store::EngineName() const
{
    if (!IsConnected())
        return {};
    return InfoText(Link->Connection, SQL_DBMS_NAME);
}

StoreResult<QStringList> Store::MissingGrants()
{
    return StoreSql(*this).ColumnValues(
        Functions ? MissingExecuteGrantsQuery() : MissingGrantsQuery());
}

StoreResult<QString> Store::OwnWakeupChannel()
{
    if (!Functions)
        return {};
    return StoreSql(*this).FirstValue(WakeupChannelCall());
}

} // namespace vimo
