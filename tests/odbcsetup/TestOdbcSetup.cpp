#include "TestEnvironment.h"

#include "setup/AttributeLists.h"
#include "store/Store.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <odbcinst.h>
#include <sqlite3.h>

using namespace vimo;
using namespace Qt::StringLiterals;

namespace {

// Goes the way the program goes: through the driver manager's installer to our driver entry.
bool Config(WORD request, const QByteArray& list)
{
    return SQLConfigDataSource(nullptr, request, DriverName, list.constData());
}

QString InstallerMessage()
{
    DWORD code = 0;
    char message[SQL_MAX_MESSAGE_LENGTH] = {};
    WORD length = 0;
    SQLInstallerError(1, &code, message, sizeof message, &length);
    return QString::fromUtf8(message);
}

void WriteFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What SQLite itself says of the file: its tables and its application id.
struct FileFacts {
    bool Opened = false;
    int Tables = -1;
    int ApplicationId = 0;
};

FileFacts ReadFacts(const QString& path)
{
    FileFacts facts;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        == SQLITE_OK) {
        auto intOf = [db](const char* sql) {
            sqlite3_stmt* statement = nullptr;
            int value = -1;
            if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK
                && sqlite3_step(statement) == SQLITE_ROW)
                value = sqlite3_column_int(statement, 0);
            sqlite3_finalize(statement);
            return value;
        };
        facts.Tables = intOf("SELECT COUNT(*) FROM sqlite_master");
        facts.ApplicationId = intOf("PRAGMA application_id");
        facts.Opened = facts.Tables >= 0;
    }
    sqlite3_close(db);
    return facts;
}

} // namespace

// The set-up library behind our driver entry, reached through SQLConfigDataSource.
class TestOdbcSetup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { test::WriteOdbcIni(QString()); }

    void creationMakesASoundEmptyFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addRow("plain name") << u"new.vmo"_s;
        QTest::addRow("blanks, umlaut and a quote in the name") << u"Büro \"Notizen\" 1.vmo"_s;
    }

    void creationMakesASoundEmptyFile()
    {
        QFETCH(QString, name);
        const QString path = test::NewPath(name);
        QVERIFY2(Config(ODBC_ADD_DSN, CreationList(path)), qPrintable(InstallerMessage()));
        const FileFacts facts = ReadFacts(path);
        QVERIFY(facts.Opened);
        QCOMPARE(facts.Tables, 0);
        QCOMPARE(facts.ApplicationId, 0x56494D4F);
        QVERIFY(QFileInfo(path).size() > 0);
        QVERIFY2(Config(ODBC_ADD_DSN, RepairList(path)), qPrintable(InstallerMessage()));
        // Creating it is no registration.
        QCOMPARE(test::DataSourceValue("Driver"), QString());
    }

    void creationNeverOverwritesAFile_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("linked");
        QTest::addRow("a text file") << QByteArray("somebody's notes\n") << false;
        QTest::addRow("an empty file") << QByteArray() << false;
        // Planted in a shared folder, pointing where the user may write.
        QTest::addRow("a link to no file yet") << QByteArray() << true;
    }

    void creationNeverOverwritesAFile()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, linked);
        const QString path = test::NewPath(u"taken.vmo"_s);
        const QString target = test::NewPath(u"victim"_s);
        QVERIFY(linked ? QFile::link(target, path) : (WriteFile(path, contents), true));
        QVERIFY(!Config(ODBC_ADD_DSN, CreationList(path)));
        QVERIFY2(InstallerMessage().contains(u"exists"_s), qPrintable(InstallerMessage()));
        QVERIFY(linked ? !QFileInfo::exists(target) : ReadFile(path) == contents);
        QFile::remove(path);
    }

    void creationInAMissingFolderFailsAndLeavesNothing()
    {
        const QString path = test::NewPath(u"no-such-folder/new.vmo"_s);
        QVERIFY(!Config(ODBC_ADD_DSN, CreationList(path)));
        QVERIFY(!QFileInfo::exists(path));
    }

    void repairRefusesWhatIsNoDataFile()
    {
        QVERIFY(!Config(ODBC_ADD_DSN, RepairList(test::NewPath(u"missing.vmo"_s))));
        QVERIFY(!QFileInfo::exists(test::NewPath(u"missing.vmo"_s)));

        const QString text = test::NewPath(u"text.vmo"_s);
        const QByteArray contents(4096, 'x');
        WriteFile(text, contents);
        QVERIFY(!Config(ODBC_ADD_DSN, RepairList(text)));
        QCOMPARE(ReadFile(text), contents);
    }

    void registrationWritesTheUserDataSource()
    {
        const QString path = test::NewPath(u"office files/notes.vmo"_s);
        QVERIFY(Config(ODBC_ADD_DSN, RegistrationList(path)));
        QCOMPARE(test::DataSourceValue("Driver"), QString::fromLatin1(DriverName));
        QCOMPARE(test::DataSourceValue("Description"), u"Vimo File"_s);
        QCOMPARE(test::DataSourceValue("Database"), path);
        QCOMPARE(test::DataSourceValue("NoCreat"), u"1"_s);
        QVERIFY(test::DataSourceValue("Timeout").toInt() >= 1000);
        // In the user's file, the one ODBCINI names.
        QVERIFY(ReadFile(test::OdbcIniPath()).contains("[VIMO]"));
    }

    void registrationReplacesAnotherDriversDataSource()
    {
        test::WriteOdbcIni(u"[VIMO]\nDriver=PostgreSQL ANSI\nServername=10.0.0.1\nDatabase=x\n"_s);
        const QString path = test::NewPath(u"notes.vmo"_s);
        QVERIFY(Config(ODBC_ADD_DSN, RegistrationList(path)));
        QCOMPARE(test::DataSourceValue("Driver"), QString::fromLatin1(DriverName));
        QCOMPARE(test::DataSourceValue("Database"), path);
        QCOMPARE(test::DataSourceValue("Servername"), QString());
    }

    void pathListRepointsAnExistingDataSource()
    {
        QVERIFY(Config(ODBC_ADD_DSN, RegistrationList(test::NewPath(u"first.vmo"_s))));
        QVERIFY(Config(ODBC_CONFIG_DSN, PathList(test::NewPath(u"second.vmo"_s))));
        QCOMPARE(test::DataSourceValue("Database"), test::NewPath(u"second.vmo"_s));
        QCOMPARE(test::DataSourceValue("Driver"), QString::fromLatin1(DriverName));
        QCOMPARE(test::DataSourceValue("Description"), u"Vimo File"_s);
        QCOMPARE(test::DataSourceValue("NoCreat"), u"1"_s);
    }

    void pathListFailsForAMissingDataSource()
    {
        QVERIFY(!Config(ODBC_CONFIG_DSN, PathList(test::NewPath(u"notes.vmo"_s))));
        QCOMPARE(test::DataSourceValue("Database"), QString());
    }

    void aPathTheDriverCannotUseIsRefusedByEveryList_data()
    {
        QTest::addColumn<QString>("path");
        // The SQLite driver opens no longer path; the ini writer breaks on far longer ones.
        QTest::addRow("505 bytes") << u"/"_s + QString(500, u'x') + u".vmo"_s;
        QTest::addRow("5000 bytes") << u"/"_s + QString(4995, u'x') + u".vmo"_s;
        QTest::addRow("a line break that would add a key")
            << test::NewPath(u"a.vmo\nDriver=/tmp/evil.so"_s);
        QTest::addRow("a carriage return") << test::NewPath(u"a\r.vmo"_s);
    }

    void aPathTheDriverCannotUseIsRefusedByEveryList()
    {
        QFETCH(QString, path);
        QVERIFY(!Config(ODBC_ADD_DSN, CreationList(path)));
        QVERIFY(!Config(ODBC_ADD_DSN, RepairList(path)));
        QVERIFY(!Config(ODBC_ADD_DSN, RegistrationList(path)));
        QVERIFY(InstallerMessage().size() < SQL_MAX_MESSAGE_LENGTH);
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(test::DataSourceValue("Driver"), QString());

        QVERIFY(Config(ODBC_ADD_DSN, RegistrationList(test::NewPath(u"good.vmo"_s))));
        QVERIFY(!Config(ODBC_CONFIG_DSN, PathList(path)));
        QCOMPARE(test::DataSourceValue("Database"), test::NewPath(u"good.vmo"_s));
        QVERIFY(!ReadFile(test::OdbcIniPath()).contains("evil"));
    }

    void aDataSourceWhoseFileIsGoneDoesNotConnectOrMakeAFile()
    {
        const QString path = test::NewPath(u"gone.vmo"_s);
        QVERIFY(Config(ODBC_ADD_DSN, CreationList(path)));
        QVERIFY(Config(ODBC_ADD_DSN, RegistrationList(path)));
        {
            Store link;
            QVERIFY(link.Connect().Succeeded());
        }
        QVERIFY(QFile::remove(path));
        // The way a later start connects, and the way a reconnect does.
        Store byName;
        QVERIFY(byName.Connect().Failure);
        Store throughDriver;
        QVERIFY(throughDriver.ConnectRegistered().Failure);
        QVERIFY(!QFileInfo::exists(path));
    }
};

VIMO_TEST_MAIN(TestOdbcSetup, QCoreApplication)
#include "TestOdbcSetup.moc"
