#pragma once

#include "prompts/Prompts.h"
#include "store/SqlStatement.h"
#include "store/Store.h"
#include "store/StoreWorker.h"

#include <QString>
#include <QStringList>
#include <QTest>

#include <deque>
#include <functional>

// What every test process shares: private ODBC and settings files, a real store to run
// statements on, and recorders in place of the user's boxes.
namespace vimo::test {

// Points unixODBC (ODBCSYSINI, ODBCINI) and Qt settings (XDG_CONFIG_HOME, HOME) at a fresh
// temporary folder, with an odbcinst.ini that holds our SQLite driver entry and the
// PostgreSQL ANSI driver. Call it first in main, before any ODBC call or QApplication.
void IsolateUserFiles();

// The private folder of this process, and the files in it.
QString TestRoot();
QString OdbcIniPath();
QString ProfilePath();

// A path in this process's private folder.
QString NewPath(const QString& name);

// One value of the user data source "VIMO" as odbc.ini holds it now.
QString DataSourceValue(const char* key);

// Replaces the user's odbc.ini; an empty text removes the file.
void WriteOdbcIni(const QString& contents);

// Writes the settings value Vimo/DBPATH.
void WriteDataFolderSetting(const QString& folder);

// The store of this test process, which the helpers below connect; tests hand it to what
// they check.
Store& TestStore();

// A new SQLite data file with both tables and their indexes, registered as "VIMO" and
// connected to TestStore(). Returns its path.
QString UseFreshSqliteStore();

// True when the suite's PostgreSQL server is configured (VIMO_TEST_PG_PORT).
bool PostgresConfigured();

// A database of this process's own on the suite's PostgreSQL server, emptied, with both
// tables, registered as "VIMO" and connected. False when the server cannot be reached.
bool UseFreshPostgresStore();

// The statements of resources/postgresql-schema.sql, which an administrator runs on a
// PostgreSQL store: what is missing of the tables and indexes, and the wake-up trigger.
QString PostgresSchema();

// The store kind this test process runs on: "postgres" when VIMO_TEST_STORE says so, else
// "sqlite". Tests registered with BOTH_STORES run once on each.
QString StoreKind();

// A fresh store of this process's kind (UseFreshSqliteStore or UseFreshPostgresStore).
// Fails the calling test when it cannot be had.
bool UseFreshStore();

// The worker over TestStore(), for what runs on one (the tray, its dialogs). Made at the first
// call, it holds the store from then on, and the helpers here go through it.
StoreWorker& TestWorker();
void EndTestWorker();
// Waits until the worker has answered every job asked so far and the answers have run; false
// when it did not within a minute. Put it in a QVERIFY.
bool Settled();

// Runs a statement on TestStore() and fails the test when the store refuses it. For setting
// up rows in tests.
void MustExec(const SqlStatement& statement);

// What a query on TestStore() reads; a refused query reads as nothing.
QString FirstValue(const SqlStatement& query);
QStringList ColumnValues(const SqlStatement& query);

// The columns of a data-driven test, types and names in the same order:
// Columns<QString, int>("text", "stamp").
template <typename... Types, typename... Names> void Columns(const Names&... names)
{
    static_assert(sizeof...(Types) == sizeof...(Names));
    (QTest::addColumn<Types>(names), ...);
}

// Records every alert while alive, instead of showing a box.
class AlertRecorder {
public:
    AlertRecorder();
    ~AlertRecorder();
    Q_DISABLE_COPY_MOVE(AlertRecorder)

    QStringList Alerts;

private:
    AlertHandler Previous;
};

// Answers questions and file choices from queues while alive; records what was asked.
// An empty queue answers "no", cancels the file dialog and quits.
class ScriptedPrompts {
public:
    ScriptedPrompts();
    ~ScriptedPrompts();
    Q_DISABLE_COPY_MOVE(ScriptedPrompts)

    std::deque<bool> Answers;
    std::deque<QString> Files;
    // Retry (true) or Quit (false), for a store that cannot be reached; empty: Quit.
    std::deque<bool> Retries;
    QStringList Questions;
    QStringList RetryTexts;
    int FileDialogs = 0;
    bool LastCreateMode = false;
    QString LastInitialFolder;

private:
    QuestionHandler PreviousQuestions;
    FileChoiceHandler PreviousFiles;
    RetryHandler PreviousRetry;
};

} // namespace vimo::test

// main() for a Qt test that runs on isolated user files. AppClass is QCoreApplication,
// QGuiApplication or QApplication.
#define VIMO_TEST_MAIN(TestObject, AppClass)                                                       \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        vimo::test::IsolateUserFiles();                                                            \
        AppClass app(argc, argv);                                                                  \
        TestObject test;                                                                           \
        const int failures = QTest::qExec(&test, argc, argv);                                      \
        vimo::test::EndTestWorker();                                                               \
        return failures;                                                                           \
    }
