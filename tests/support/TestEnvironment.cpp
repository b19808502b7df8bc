#include "TestEnvironment.h"

#include "prompts/Prompts.h"
#include "setup/OpenStore.h"
#include "store/StoreSql.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>

#include <odbcinst.h>
#include <sqlite3.h>

#include <cstdlib>

namespace vimo::test {
namespace {

QString& Root()
{
    static QString root;
    return root;
}

void WriteFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(contents);
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

QString ProcessName()
{
    QString name = QCoreApplication::applicationName().toLower();
    name.remove(QRegularExpression(QStringLiteral("[^a-z0-9_]")));
    return name.isEmpty() ? QStringLiteral("vimotest") : name;
}

QString PostgresDataSource(const QString& database)
{
    // The ANSI driver otherwise takes the client encoding from the process locale, and our
    // text is UTF-8 whatever the locale says. A run may add settings of its own.
    QString settings = QStringLiteral("SET client_encoding TO 'UTF8'");
    if (const QString more = qEnvironmentVariable("VIMO_TEST_PG_SETTINGS"); !more.isEmpty())
        settings += QLatin1Char(';') + more;
    return QStringLiteral("[VIMO]\nDriver=PostgreSQL ANSI\nServername=127.0.0.1\nPort=%1\n"
                          "Database=%2\nUsername=postgres\nPassword=\nConnSettings=%3\n")
        .arg(qEnvironmentVariable("VIMO_TEST_PG_PORT"), database, settings);
}

} // namespace

void IsolateUserFiles()
{
    QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/vimo-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        qFatal("cannot make a temporary folder");
    Root() = QString::fromLocal8Bit(pattern);

    const QDir root(Root());
    root.mkpath(QStringLiteral("config"));
    root.mkpath(QStringLiteral("home"));

    QByteArray drivers = ReadFile(QStringLiteral(VIMO_TEST_ODBCINST_ENTRY));
    drivers += "\n[PostgreSQL ANSI]\nDescription=PostgreSQL ODBC driver (ANSI version)\n"
               "Driver=" VIMO_TEST_PSQLODBC_DRIVER "\n";
    WriteFile(root.filePath(QStringLiteral("odbcinst.ini")), drivers);

    qputenv("ODBCSYSINI", Root().toLocal8Bit());
    qputenv("ODBCINI", OdbcIniPath().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("HOME", root.filePath(QStringLiteral("home")).toLocal8Bit());

    // The folder goes when the process ends; a failed test's files are kept for a look.
    std::atexit([] {
        if (qEnvironmentVariableIsEmpty("VIMO_TEST_KEEP"))
            QDir(Root()).removeRecursively();
    });
}

QString TestRoot()
{
    return Root();
}

QString OdbcIniPath()
{
    return QDir(Root()).filePath(QStringLiteral("odbc.ini"));
}

QString ProfilePath()
{
    return QDir(Root()).filePath(QStringLiteral("config/vimo/vimo.ini"));
}

QString NewPath(const QString& name)
{
    return QDir(Root()).filePath(name);
}

QString DataSourceValue(const char* key)
{
    char value[1024] = {};
    SQLGetPrivateProfileString("VIMO", key, "", value, sizeof value, "odbc.ini");
    return QString::fromUtf8(value);
}

void WriteOdbcIni(const QString& contents)
{
    if (contents.isEmpty())
        QFile::remove(OdbcIniPath());
    else
        WriteFile(OdbcIniPath(), contents.toUtf8());
    // unixODBC keeps what it read from odbc.ini for 20 s; any write through the installer
    // empties that cache. Deleting a section of a scratch file is such a write.
    const QString scratchPath = QDir(Root()).filePath(QStringLiteral("flush.ini"));
    WriteFile(scratchPath, "[flush]\n");
    const QByteArray scratch = QFile::encodeName(scratchPath);
    SQLWritePrivateProfileString("flush", nullptr, nullptr, scratch.constData());
}

void WriteDataFolderSetting(const QString& folder)
{
    QSettings profile(ProfilePath(), QSettings::IniFormat);
    profile.setValue(QStringLiteral("Vimo/DBPATH"), folder);
}

namespace {

std::unique_ptr<StoreWorker>& Worker()
{
    static std::unique_ptr<StoreWorker> worker;
    return worker;
}

// Runs f(TestStore()) where the link lives: on the worker once there is one.
template <class F> auto OnTestStore(F f)
{
    if (Worker())
        return Worker()->Call(f);
    return f(TestStore());
}

} // namespace

QString UseFreshSqliteStore()
{
    static int count = 0;
    QString path = QDir(Root()).filePath(QStringLiteral("store-%1.vmo").arg(++count));
    QFile::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_close(db);

    WriteOdbcIni(QStringLiteral("[VIMO]\nDriver=%1\nDescription=Vimo File\nDatabase=%2\n"
                                "NoCreat=1\nTimeout=5000\n")
                     .arg(QString::fromLatin1(VIMO_DRIVER_NAME), path));
    AlertRecorder alerts;
    OnTestStore([&path](Store& store) {
        if (store.Connect().Failure)
            qFatal("cannot connect to the SQLite store %s", qPrintable(path));
        CreateStoreTables(store);
    });
    if (!alerts.Alerts.isEmpty())
        qFatal("cannot make the tables: %s", qPrintable(alerts.Alerts.join(u'\n')));
    return path;
}

bool PostgresConfigured()
{
    return !qEnvironmentVariableIsEmpty("VIMO_TEST_PG_PORT");
}

bool UseFreshPostgresStore()
{
    if (!PostgresConfigured())
        return false;
    const QString database = QStringLiteral("vimo_") + ProcessName() + QLatin1Char('_')
        + QString::number(QCoreApplication::applicationPid());
    WriteOdbcIni(PostgresDataSource(QStringLiteral("postgres")));
    AlertRecorder alerts;
    const bool connected = OnTestStore([&database](Store& store) {
        if (store.Connect().Failure)
            return false;
        StoreSql sql(store);
        SucceededOrAlert(sql.Exec(QStringLiteral("DROP DATABASE IF EXISTS ") + database
            + QStringLiteral(" WITH (FORCE)")));
        SucceededOrAlert(sql.Exec(QStringLiteral("CREATE DATABASE ") + database));
        WriteOdbcIni(PostgresDataSource(database));
        if (store.Connect().Failure)
            return false;
        CreateStoreTables(store);
        return true;
    });
    if (!connected)
        return false;
    if (!alerts.Alerts.isEmpty())
        qWarning().noquote() << "setting up PostgreSQL:" << alerts.Alerts.join(u'\n');
    return alerts.Alerts.isEmpty();
}

QString PostgresSchema()
{
    return QString::fromUtf8(ReadFile(QStringLiteral(VIMO_TEST_POSTGRES_SCHEMA)));
}

QString StoreKind()
{
    return qEnvironmentVariable("VIMO_TEST_STORE") == QLatin1String("postgres")
        ? QStringLiteral("postgres")
        : QStringLiteral("sqlite");
}

bool UseFreshStore()
{
    if (StoreKind() == QLatin1String("postgres"))
        return UseFreshPostgresStore();
    UseFreshSqliteStore();
    return true;
}

Store& TestStore()
{
    static Store store;
    return store;
}

StoreWorker& TestWorker()
{
    if (!Worker())
        // Nobody owns the store through the worker: it is static and outlives every worker.
        Worker() = std::make_unique<StoreWorker>(
            std::shared_ptr<Store>(std::shared_ptr<Store>(), &TestStore()));
    return *Worker();
}

void EndTestWorker()
{
    Worker().reset();
}

bool Settled()
{
    if (!Worker())
        return true;
    // Long enough for a post that waits out a lock, and its retries.
    return QTest::qWaitFor([] { return !Worker()->IsBusy(); }, 60000);
}

void MustExec(const SqlStatement& statement)
{
    const StoreResult<> result
        = OnTestStore([&statement](Store& store) { return StoreSql(store).Exec(statement); });
    if (result.Failure)
        QFAIL(qPrintable(
            result.Failure->Statement + QLatin1Char(' ') + result.Failure->Error.Message));
}

QString FirstValue(const SqlStatement& query)
{
    return OnTestStore([&query](Store& store) { return StoreSql(store).FirstValue(query).Value; });
}

QStringList ColumnValues(const SqlStatement& query)
{
    return OnTestStore(
        [&query](Store& store) { return StoreSql(store).ColumnValues(query).Value; });
}

AlertRecorder::AlertRecorder()
{
    Previous = SetAlertHandler([this](const QString& text) { Alerts.append(text); });
}

AlertRecorder::~AlertRecorder()
{
    SetAlertHandler(Previous);
}

ScriptedPrompts::ScriptedPrompts()
{
    PreviousQuestions = SetQuestionHandler([this](const QString& question) {
        Questions.append(question);
        if (Answers.empty())
            return false;
        const bool answer = Answers.front();
        Answers.pop_front();
        return answer;
    });
    PreviousFiles = SetFileChoiceHandler([this](const FileChoiceRequest& request) {
        ++FileDialogs;
        LastCreateMode = request.CreateMode;
        LastInitialFolder = request.InitialFolder;
        if (Files.empty())
            return QString();
        QString file = Files.front();
        Files.pop_front();
        return file;
    });
    PreviousRetry = SetRetryHandler([this](const QString& text) {
        RetryTexts.append(text);
        if (Retries.empty())
            return false;
        const bool retry = Retries.front();
        Retries.pop_front();
        return retry;
    });
}

ScriptedPrompts::~ScriptedPrompts()
{
    SetQuestionHandler(PreviousQuestions);
    SetFileChoiceHandler(PreviousFiles);
    SetRetryHandler(PreviousRetry);
}

} // namespace vimo::test
