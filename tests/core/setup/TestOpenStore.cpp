#include "TestEnvironment.h"

#include "setup/AttributeLists.h"
#include "setup/OpenStore.h"
#include "store/Statements.h"
#include "store/StoreSql.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <odbcinst.h>
#include <sqlite3.h>

using namespace vimo;
using namespace Qt::StringLiterals;

namespace {

// A data file made by another copy, outside this process's store connection.
void MakeDataFile(const QString& path, const QStringList& statements)
{
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    for (const QString& statement : statements)
        QCOMPARE(
            sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// The names of the store's tables and indexes, as the connected store lists them.
QStringList SchemaNames()
{
    QStringList names
        = test::ColumnValues(u"SELECT name FROM sqlite_master WHERE name NOT LIKE 'sqlite_%'"_s);
    names.sort();
    return names;
}

} // namespace

// Opening the store at start-up. Each flow runs in a process of its own: the driver manager
// must not have read odbc.ini before.
class TestOpenStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void workingDataSourceIsUsedAsItIs()
    {
        const QString store = test::UseFreshSqliteStore();
        test::MustExec(AddUserStatement(u"ANN"_s));
        test::TestStore().Close();

        test::ScriptedPrompts prompts;
        test::AlertRecorder alerts;
        const QString other = test::NewPath(u"other.vmo"_s);
        QVERIFY(OpenStore(test::TestStore(), other));
        QCOMPARE(prompts.Questions, QStringList());
        QCOMPARE(prompts.FileDialogs, 0);
        QCOMPARE(alerts.Alerts, QStringList());
        QCOMPARE(test::DataSourceValue("Database"), store);
        QVERIFY(!QFileInfo::exists(other));
        QCOMPARE(test::FirstValue(UserListQuery()), u"ANN"_s);
    }

    void missingDataSourceTakesThePathWithoutAQuestion()
    {
        const QString path = test::NewPath(u"office.vmo"_s);
        MakeDataFile(path, { u"PRAGMA user_version=7"_s });
        test::ScriptedPrompts prompts;
        test::AlertRecorder alerts;
        QVERIFY(OpenStore(test::TestStore(), path));
        QCOMPARE(prompts.Questions, QStringList());
        QCOMPARE(prompts.FileDialogs, 0);
        QCOMPARE(alerts.Alerts, QStringList());
        QCOMPARE(test::DataSourceValue("Driver"), QString::fromLatin1(DriverName));
        QCOMPARE(test::DataSourceValue("Description"), u"Vimo File"_s);
        QCOMPARE(test::DataSourceValue("Database"), path);
        QVERIFY(test::TestStore().IsConnected());
        QCOMPARE(test::FirstValue(u"PRAGMA user_version"_s), u"7"_s);
        QCOMPARE(SchemaNames(), QStringList());
    }

    void aRelativePathIsRegisteredInFull()
    {
        MakeDataFile(test::NewPath(u"here.vmo"_s), {});
        QVERIFY(QDir::setCurrent(test::TestRoot()));
        test::AlertRecorder alerts;
        QVERIFY(OpenStore(test::TestStore(), u"here.vmo"_s));
        QCOMPARE(test::DataSourceValue("Database"), test::NewPath(u"here.vmo"_s));
        QCOMPARE(alerts.Alerts, QStringList());
    }

    void aDataSourceThatCannotBeReachedIsNeverRepointed()
    {
        // "VIMO" names a file on a share that is not mounted yet; the start names another.
        const QString share = test::NewPath(u"share/office.vmo"_s);
        const QString ini
            = u"[VIMO]\nDriver=%1\nDescription=Vimo File\nDatabase=%2\nNoCreat=1\n"_s.arg(
                QString::fromLatin1(DriverName), share);
        test::WriteOdbcIni(ini);
        const QString other = test::NewPath(u"mine.vmo"_s);
        MakeDataFile(other, { UsersTableCreation() });
        const StartPatience brief { std::chrono::milliseconds(300), std::chrono::milliseconds(50),
            std::chrono::milliseconds(100) };

        test::ScriptedPrompts prompts;
        prompts.Retries = { true }; // then Quit
        test::AlertRecorder alerts;
        QVERIFY(!OpenStore(test::TestStore(), other, brief));
        QCOMPARE(prompts.Questions, QStringList());
        QCOMPARE(prompts.FileDialogs, 0);
        QCOMPARE(alerts.Alerts, QStringList());
        QCOMPARE(prompts.RetryTexts.size(), 2);
        QVERIFY2(
            prompts.RetryTexts[0].startsWith(u"The data file cannot be found:\n%1"_s.arg(share)),
            qPrintable(prompts.RetryTexts[0]));
        QCOMPARE(test::DataSourceValue("Database"), share);
        QVERIFY(!QFileInfo::exists(share));

        // The share comes while the start waits: it goes on without a word.
        QTimer::singleShot(100, [&] {
            QDir().mkpath(QFileInfo(share).path());
            MakeDataFile(share, { UsersTableCreation(), u"INSERT INTO USRS VALUES('ANN')"_s });
        });
        QVERIFY(OpenStore(test::TestStore(), other, brief));
        QCOMPARE(prompts.RetryTexts.size(), 2);
        QCOMPARE(test::FirstValue(UserListQuery()), u"ANN"_s);
        QCOMPARE(test::DataSourceValue("Database"), share);
    }

    void yesMakesANewFileWithTablesAndIndexes()
    {
        const QString path = test::NewPath(u"fresh.vmo"_s);
        test::ScriptedPrompts prompts;
        prompts.Answers = { true };
        prompts.Files = { path };
        test::AlertRecorder alerts;
        QVERIFY(OpenStore(test::TestStore(), QString()));
        QCOMPARE(prompts.Questions, QStringList { u"Create New File"_s });
        QCOMPARE(prompts.FileDialogs, 1);
        QVERIFY(prompts.LastCreateMode);
        QCOMPARE(alerts.Alerts, QStringList());
        QVERIFY(QFileInfo::exists(path));
        QCOMPARE(test::DataSourceValue("Database"), path);
        QCOMPARE(SchemaNames(),
            (QStringList { u"MSGS"_s, u"MSGS_RECIPIENT"_s, u"MSGS_TKEY"_s, u"USRS"_s }));

        // The unique key index at work: a second note with the same key is refused.
        StoreSql sql(test::TestStore());
        QVERIFY(sql.Exec(PostStatement(u"one"_s, u"ANN"_s, u"BOB"_s, u"20261206"_s, 1, u'1'))
                    .Succeeded());
        QVERIFY(
            sql.Exec(PostStatement(u"two"_s, u"BOB"_s, u"ANN"_s, u"20261206"_s, 1, u'2')).Failure);
        QCOMPARE(test::ColumnValues(u"SELECT MSG FROM MSGS"_s), QStringList { u"one"_s });
    }

    void noRegistersAnExistingFileAndLeavesItAlone()
    {
        const QString path = test::NewPath(u"existing.vmo"_s);
        MakeDataFile(path,
            { u"CREATE TABLE USRS(RECIPIENT CHAR(15))"_s,
                u"CREATE TABLE MSGS(MSG CHAR(250) NULL,RECIPIENT CHAR(15) NULL,"
                "SENDER CHAR(15) NULL,DT INT,URGENCY INT,TKEY INT)"_s,
                u"INSERT INTO MSGS VALUES('kept','ANN','BOB',20261206,2,7)"_s });
        test::ScriptedPrompts prompts;
        prompts.Answers = { false };
        prompts.Files = { path };
        test::AlertRecorder alerts;
        QVERIFY(OpenStore(test::TestStore(), QString()));
        QCOMPARE(prompts.Questions, QStringList { u"Create New File"_s });
        QVERIFY(!prompts.LastCreateMode);
        QCOMPARE(alerts.Alerts, QStringList());
        QCOMPARE(test::DataSourceValue("Database"), path);
        // An old file: no index is added behind its back.
        QCOMPARE(SchemaNames(), (QStringList { u"MSGS"_s, u"USRS"_s }));
        QCOMPARE(test::FirstValue(u"SELECT MSG FROM MSGS WHERE TKEY=7"_s), u"kept"_s);
    }

    void yesWithAnExistingFileKeepsItAsItWas()
    {
        const QString path = test::NewPath(u"old.vmo"_s);
        MakeDataFile(path,
            { NotesTableCreation(), UsersTableCreation(),
                u"INSERT INTO MSGS VALUES('first','ANN','BOB',20261206,1,3)"_s,
                u"INSERT INTO MSGS VALUES('same key','ANN','BOB',20261206,1,3)"_s });
        test::ScriptedPrompts prompts;
        prompts.Answers = { true };
        prompts.Files = { path };
        test::AlertRecorder alerts;
        QVERIFY(OpenStore(test::TestStore(), QString()));
        // The refused creation; tables that were there already are no failure.
        QCOMPARE(alerts.Alerts, QStringList { u"CREATE_DB=\"%1\" General"_s.arg(path) });
        QCOMPARE(SchemaNames(), (QStringList { u"MSGS"_s, u"USRS"_s }));
        QCOMPARE(test::ColumnValues(u"SELECT MSG FROM MSGS"_s).size(), 2);
    }

    void aNewFileThatCannotTakeItsTablesFailsTheStart()
    {
        // A file that is there but no data file: nothing can be created in it.
        const QString path = test::NewPath(u"junk.vmo"_s);
        QFile junk(path);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(8192, 'x'));
        junk.close();
        test::ScriptedPrompts prompts;
        prompts.Answers = { true };
        prompts.Files = { path };
        test::AlertRecorder alerts;
        QVERIFY(!OpenStore(test::TestStore(), QString()));
        QVERIFY2(alerts.Alerts.join(u'\n').contains(NotesTableCreation() + u" [Error ("_s),
            qPrintable(alerts.Alerts.join(u'\n')));
    }

    void cancelRegistersNothing()
    {
        test::ScriptedPrompts prompts;
        prompts.Answers = { true };
        test::AlertRecorder alerts;
        QVERIFY(!OpenStore(test::TestStore(), QString()));
        QCOMPARE(prompts.FileDialogs, 1);
        QCOMPARE(alerts.Alerts, QStringList());
        QCOMPARE(test::DataSourceValue("Driver"), QString());
        QCOMPARE(QDir(test::TestRoot()).entryList({ u"*.vmo"_s }), QStringList());
    }

    void theFileDialogStartsInTheDataFolder()
    {
        test::WriteDataFolderSetting(u"/srv/office notes"_s);
        test::ScriptedPrompts prompts;
        QVERIFY(!OpenStore(test::TestStore(), QString()));
        QCOMPARE(prompts.LastInitialFolder, u"/srv/office notes"_s);
    }

    void theFileDialogStartsInTheDefaultFolderWithoutDataFolder()
    {
        test::ScriptedPrompts prompts;
        QVERIFY(!OpenStore(test::TestStore(), QString()));
        QCOMPARE(prompts.FileDialogs, 1);
        QCOMPARE(prompts.LastInitialFolder, QString());
    }

    void aFailingPathRequestEndsWithItsAlert()
    {
        // The user's odbc.ini cannot be written: its folder does not exist.
        qputenv("ODBCINI", test::NewPath(u"no-such-folder/odbc.ini"_s).toLocal8Bit());
        const QString path = test::NewPath(u"office.vmo"_s);
        MakeDataFile(path, {});
        test::ScriptedPrompts prompts;
        test::AlertRecorder alerts;
        QVERIFY(!OpenStore(test::TestStore(), path));
        QCOMPARE(alerts.Alerts, QStringList { u"DSN=VIMO"_s });
        QVERIFY(!test::TestStore().IsConnected());
    }

    void aPathLongerThanTheLimitIsRefused()
    {
        const QString path = u"/"_s + QString(MaxDataFilePathBytes - 4, u'x') + u".vmo"_s;
        QCOMPARE(path.size(), MaxDataFilePathBytes + 1);
        test::ScriptedPrompts prompts;
        prompts.Answers = { true };
        prompts.Files = { path };
        test::AlertRecorder alerts;
        QVERIFY(!OpenStore(test::TestStore(), QString()));
        QCOMPARE(alerts.Alerts.size(), 1);
        QVERIFY2(
            alerts.Alerts.first().startsWith(
                u"The data file path is too long (at most %1 bytes)"_s.arg(MaxDataFilePathBytes)),
            qPrintable(alerts.Alerts.first()));
        QCOMPARE(test::DataSourceValue("Driver"), QString());
    }

    void aPathAtTheLimitWorks()
    {
        // Folders of up to 200 bytes, down to a name that makes the path exactly as long as
        // the limit allows.
        QString folder = test::TestRoot();
        const int room = MaxDataFilePathBytes - int(sizeof "/x.vmo" - 1);
        for (char letter = 'a'; folder.size() < room; ++letter)
            folder += u'/'
                + QString(qMin<qsizetype>(200, room - folder.size() - 1), QLatin1Char(letter));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + u"/x.vmo"_s;
        QCOMPARE(QFile::encodeName(path).size(), MaxDataFilePathBytes);

        test::ScriptedPrompts prompts;
        prompts.Answers = { true };
        prompts.Files = { path };
        test::AlertRecorder alerts;
        QVERIFY(OpenStore(test::TestStore(), QString()));
        QCOMPARE(alerts.Alerts, QStringList());
        QCOMPARE(test::DataSourceValue("Database"), path);
        test::MustExec(AddUserStatement(u"ANN"_s));
        QCOMPARE(test::FirstValue(UserListQuery()), u"ANN"_s);
    }

    void aPathWithALineBreakIsRefused()
    {
        const QString path = test::NewPath(u"a.vmo\nDriver=/tmp/evil.so"_s);
        test::AlertRecorder alerts;
        QVERIFY(!OpenStore(test::TestStore(), path));
        QCOMPARE(alerts.Alerts.size(), 1);
        QVERIFY(
            alerts.Alerts.first().startsWith(u"The data file path holds a control character"_s));
        QCOMPARE(test::DataSourceValue("Driver"), QString());
    }

    void aPathEndingInABlankIsRefused()
    {
        // odbc.ini would keep "office.vmo", another file.
        const QString path = test::NewPath(u"office.vmo "_s);
        test::AlertRecorder alerts;
        QVERIFY(!OpenStore(test::TestStore(), path));
        QCOMPARE(alerts.Alerts,
            QStringList { u"The data file path ends in a blank:\n\"%1\""_s.arg(path) });
        QCOMPARE(test::DataSourceValue("Driver"), QString());
    }
};

VIMO_TEST_MAIN(TestOpenStore, QCoreApplication)
#include "TestOpenStore.moc"
