#include "TestEnvironment.h"

#include "model/DateStamp.h"
#include "model/TextRules.h"
#include "store/NoteTable.h"
#include "store/Statements.h"
#include "store/StoreSql.h"
#include "store/UserTable.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <sqlite3.h>

#include <limits>

using namespace vimo;
using namespace Qt::StringLiterals;

// The store's executors and typed operations against the real drivers: this runs once on a
// SQLite data file and once on PostgreSQL.
class TestStore : public QObject {
    Q_OBJECT

    Store& store = test::TestStore();
    NoteTable notes { store };
    UserTable users { store };
    StoreSql sql { store };

private Q_SLOTS:
    void initTestCase()
    {
        // A locale or environment that asks psqlODBC for another client encoding must not
        // change what is stored: the data source fixes it to UTF-8.
        qputenv("PGCLIENTENCODING", "LATIN1");
    }

    void init() { QVERIFY(test::UseFreshStore()); }

    void everyOperationRunsAndReadsBackWhatWasWritten()
    {
        // The two creations, on a store without the tables.
        test::MustExec(u"DROP TABLE MSGS"_s);
        test::MustExec(u"DROP TABLE USRS"_s);
        QVERIFY(sql.Exec(NotesTableCreation()).Succeeded());
        QVERIFY(sql.Exec(UsersTableCreation()).Succeeded());

        QVERIFY(users.Add(u"ANN"_s).Succeeded());
        QVERIFY(users.Add(u"O'NEIL  "_s).Succeeded());
        QVERIFY(users.Add(u"ANN"_s).Succeeded());
        QVERIFY(users.IsKnown(u"O'NEIL"_s).Value);
        QVERIFY(users.IsKnown(u"ANN   "_s).Value);
        const StoreResult<bool> bob = users.IsKnown(u"BOB"_s);
        QVERIFY(bob.Succeeded() && !bob.Value);
        QStringList names = users.Names().Value;
        names.sort();
        QCOMPARE(names, (QStringList { u"ANN"_s, u"O'NEIL"_s }));

        const QString stamp = MakeDateStamp(QDate(2026, 12, 6));
        QVERIFY(sql.Exec(PostStatement(u"Lunch at one?"_s, u"ANN"_s, u"O'NEIL"_s, stamp, 1, u'2'))
                    .Succeeded());
        QVERIFY(sql.Exec(PostStatement(u"it's late"_s, u"O'NEIL"_s, u"ANN"_s, stamp, 2, u'3'))
                    .Succeeded());
        QVERIFY(sql.Exec(PostStatement(u"and again"_s, u"ANN"_s, u"ANN"_s, stamp, 18, u'1'))
                    .Succeeded());
        // Stamp, key and urgency are stored as numbers, as older copies stored them.
        if (test::StoreKind() == u"sqlite"_s)
            QCOMPARE(
                test::FirstValue(u"SELECT typeof(DT)||typeof(TKEY)||typeof(URGENCY)||typeof(MSG) "
                                 "FROM MSGS WHERE TKEY=1"_s),
                u"integerintegerintegertext"_s);

        QList<NoteRow> read = notes.Addressed(u"ANN"_s).Value;
        std::sort(read.begin(), read.end(),
            [](const NoteRow& a, const NoteRow& b) { return a.Key < b.Key; });
        QCOMPARE(read.size(), 2);
        QCOMPARE(read[0],
            (NoteRow { 1, u"ANN"_s, u"O'NEIL"_s, u"20261206"_s, u"2"_s, u"Lunch at one?"_s }));
        QCOMPARE(read[1].Key, 18);
        const StoreResult<QList<NoteRow>> oneil = notes.Addressed(u"O'NEIL  "_s);
        QVERIFY(oneil.Succeeded() && oneil.Value.size() == 1);
        const NoteRow late = oneil.Value.first();
        QCOMPARE(late, (NoteRow { 2, u"O'NEIL"_s, u"ANN"_s, stamp, u"3"_s, u"it's late"_s }));

        // The row itself goes, and a second deletion finds it gone: no failure, no other row.
        const StoreResult<NoteTable::Deletion> deleted = notes.Delete(late);
        QVERIFY(deleted.Succeeded());
        QCOMPARE(deleted.Value, NoteTable::Deletion::Deleted);
        QCOMPARE(notes.Addressed(u"O'NEIL"_s).Value, QList<NoteRow>());
        const StoreResult<NoteTable::Deletion> again = notes.Delete(late);
        QVERIFY(again.Succeeded());
        QCOMPARE(again.Value, NoteTable::Deletion::AlreadyGone);
        QCOMPARE(test::FirstValue(u"SELECT COUNT(*) FROM MSGS"_s), u"2"_s);
    }

    void notesKeepTheStoresOrder()
    {
        for (int key : { 5, 3, 9 })
            test::MustExec(PostStatement(u"hi"_s, u"BOB"_s, u"ANN"_s, u"20260101"_s, key, u'1'));
        // The rows in the order the store gives them, which is the order notes open in.
        QList<qint64> keys;
        for (const NoteRow& row : notes.Addressed(u"BOB"_s).Value)
            keys << row.Key;
        QCOMPARE(keys, (QList<qint64> { 5, 3, 9 }));
    }

    void keysAreReadExactlyAndNoRowAtTheTopBlocksAPost()
    {
        const bool sqlite = test::StoreKind() == u"sqlite"_s;
        test::MustExec(PostStatement(u"top"_s, u"BOB"_s, u"CAT"_s, u"1"_s, 2147483647, u'1'));
        test::MustExec(PostStatement(u"below"_s, u"ANN"_s, u"CAT"_s, u"1"_s, -5, u'1'));
        if (sqlite) {
            // SQLite keeps whatever it is given: keys past 32 bits, past 64, and no number.
            test::MustExec(PostStatement(u"wide"_s, u"ANN"_s, u"CAT"_s, u"1"_s, 3000000000, u'2'));
            test::MustExec(u"INSERT INTO MSGS (MSG,RECIPIENT,TKEY) VALUES('real','ANN',1e20)"_s);
            test::MustExec(u"INSERT INTO MSGS (MSG,RECIPIENT,TKEY) VALUES('text','ANN','x1')"_s);
        }
        QStringList texts;
        for (const NoteRow& row : notes.Addressed(u"ANN"_s).Value)
            texts << u"%1 %2"_s.arg(row.Key).arg(row.Text);
        texts.sort();
        // A key beyond the int range is no longer clamped onto BOB's note at the top.
        QCOMPARE(texts,
            sqlite ? (QStringList { u"-5 below"_s, u"3000000000 wide"_s })
                   : QStringList { u"-5 below"_s });
        if (sqlite)
            test::MustExec(u"DELETE FROM MSGS WHERE TKEY IN (1e20,'x1')"_s);

        // PostgreSQL's INT ends at the top row: the next post takes a free key instead.
        const StoreResult<qint64> next
            = notes.Insert({ u"next"_s, u"ANN"_s, u"BOB"_s, u"20261207"_s, u'1' });
        QVERIFY2(next.Succeeded(), next.Failure ? qPrintable(next.Failure->Error.Message) : "");
        QCOMPARE(next.Value, sqlite ? 3000000001 : 1);
        if (sqlite) {
            test::MustExec(PostStatement(
                u"end"_s, u"BOB"_s, u"CAT"_s, u"1"_s, std::numeric_limits<qint64>::max(), u'1'));
            QCOMPARE(notes.Insert({ u"after"_s, u"ANN"_s, u"BOB"_s, u"1"_s, u'1' }).Value, 1);
        }
        QCOMPARE(test::FirstValue(u"SELECT MSG FROM MSGS WHERE TKEY=2147483647"_s), u"top"_s);
    }

    void theRowCheckFindsTheNoteAsWrittenAndNoOther()
    {
        // After a broken link a post looks for its row before it writes it again; a deletion
        // takes only the row its window shows. Both match the row by the same rule.
        const NewNote note { u"it's 100% 'done'  "_s, u"O'NEIL "_s, u"D'ARCY"_s, u"20261207"_s,
            u'2' };
        const StoreResult<qint64> key = notes.Insert(note);
        QVERIFY(key.Succeeded());
        const NoteRow written { key.Value, u"O'NEIL"_s, u"D'ARCY"_s, u"20261207"_s, u"2"_s,
            u"it's 100% 'done'"_s };
        QCOMPARE(notes.Addressed(u"O'NEIL"_s).Value, QList<NoteRow> { written });
        QCOMPARE(test::FirstValue(NoteCountQuery(written)), u"1"_s);

        const auto changed = [&](auto change) {
            NoteRow row = written;
            change(row);
            return test::FirstValue(NoteCountQuery(row));
        };
        QCOMPARE(changed([](NoteRow& r) { r.Sender = u"ANN"_s; }), u"0"_s);
        QCOMPARE(changed([](NoteRow& r) { r.Text = u"it's 100% 'done!"_s; }), u"0"_s);
        QCOMPARE(changed([](NoteRow& r) { ++r.Key; }), u"0"_s);

        // A row another program wrote with NULLs is found again as a poll read it.
        test::MustExec(u"INSERT INTO MSGS (RECIPIENT,TKEY) VALUES('ANN',77)"_s);
        const QList<NoteRow> bare = notes.Addressed(u"ANN"_s).Value;
        QCOMPARE(bare.size(), 1);
        QCOMPARE(notes.Delete(bare.first()).Value, NoteTable::Deletion::Deleted);
        QCOMPARE(test::FirstValue(u"SELECT COUNT(*) FROM MSGS"_s), u"1"_s);
    }

    void aFileReplacedOrGoneIsFollowedByItsPath()
    {
        if (test::StoreKind() != u"sqlite"_s)
            QSKIP("a file store's fault");
        const QString path = test::DataSourceValue("Database");
        test::MustExec(PostStatement(u"before"_s, u"ANN"_s, u"BOB"_s, u"1"_s, 1, u'1'));
        const QString backup = path + u".bak"_s;
        QVERIFY(QFile::copy(path, backup));

        // The file goes: the link must not go on reading the unlinked one as if all were well.
        QVERIFY(QFile::remove(path));
        const StoreResult<QList<NoteRow>> gone = notes.Addressed(u"ANN"_s);
        QVERIFY(gone.Failure);
        QVERIFY2(gone.Failure->OutOfReach(), qPrintable(gone.Failure->Error.Message));
        const StoreResult<qint64> refused
            = notes.Insert({ u"lost?"_s, u"ANN"_s, u"BOB"_s, u"1"_s, u'1' });
        QVERIFY(refused.Failure && refused.Failure->OutOfReach());
        QVERIFY(!QFileInfo::exists(path)); // and no empty file in its place

        // Restored from the copy, and written to by another copy at once.
        QVERIFY(QFile::copy(backup, path));
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other,
                     "INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,URGENCY) "
                     "VALUES('after','ANN','CAT',1,2,1)",
                     nullptr, nullptr, nullptr),
            SQLITE_OK);
        sqlite3_close(other);
        QStringList texts;
        for (const NoteRow& row : notes.Addressed(u"ANN"_s).Value)
            texts << row.Text;
        QCOMPARE(texts, (QStringList { u"before"_s, u"after"_s }));
        QVERIFY(notes.Insert({ u"back"_s, u"ANN"_s, u"BOB"_s, u"1"_s, u'1' }).Succeeded());
    }

    void aServerThatTakesNoWritesIsLeftForANewLinkThenSaidToBeReadOnly()
    {
        if (test::StoreKind() != u"postgres"_s)
            QSKIP("a PostgreSQL server's fault");
        // The session reads only, as one to a primary that has become a standby since: the
        // write goes again on a new link, which reaches the server that takes it.
        test::MustExec(u"SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"_s);
        QVERIFY(users.Add(u"ANN"_s).Succeeded());

        // Every session reads only: the failure says so, and reading goes on.
        const QString database = test::FirstValue(u"SELECT current_database()"_s);
        test::MustExec(
            u"ALTER DATABASE "_s + database + u" SET default_transaction_read_only=on"_s);
        test::MustExec(u"SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"_s);
        const StoreResult<> refused = users.Add(u"BOB"_s);
        QVERIFY(refused.Failure && refused.Failure->OutOfReach());
        QCOMPARE(refused.Failure->Kind, FailureKind::ReadOnly);
        const StoreResult<qint64> posted
            = notes.Insert({ u"x"_s, u"ANN"_s, u"BOB"_s, u"0"_s, u'1' });
        QVERIFY(posted.Failure && posted.Failure->Kind == FailureKind::ReadOnly);
        QCOMPARE(users.Names().Value, QStringList { u"ANN"_s });
    }

    void aRefusedStatementAlertsOnceStartingWithIt()
    {
        test::AlertRecorder alerts;
        const QString statement = u"INSERT INTO NOSUCHTABLE (A) VALUES(1)"_s;
        const StoreResult<> refused = sql.Exec(statement + u"  \n"_s);
        QVERIFY(refused.Failure);
        QCOMPARE(refused.Failure->Statement, statement);
        // The store itself says nothing; its caller does, in one alert.
        QCOMPARE(alerts.Alerts, QStringList());
        QVERIFY(!SucceededOrAlert(refused));
        QCOMPARE(alerts.Alerts.size(), 1);
        const QString& alert = alerts.Alerts.first();
        QVERIFY2(alert.startsWith(statement + u" [Error ("_s), qPrintable(alert));
        // "(SQLSTATE) message]": a five-character state and the driver's message.
        const qsizetype open = statement.size() + 9;
        QCOMPARE(alert.mid(open + 5, 2), u") "_s);
        QVERIFY2(alert.size() > open + 8 && alert.endsWith(u']'), qPrintable(alert));
    }

    void aRefusedQueryIsAFailureNotAnEmptyAnswer()
    {
        test::AlertRecorder alerts;
        const StoreResult<QString> value = sql.FirstValue(u"SELECT NOTHING FROM NOSUCHTABLE"_s);
        const StoreResult<QStringList> values
            = sql.ColumnValues(u"SELECT NOTHING FROM NOSUCHTABLE"_s);
        QVERIFY(value.Failure && values.Failure);
        QVERIFY(!value.Failure->Error.State.isEmpty());
        // Callers that take a failure as nothing there read the empty value.
        QCOMPARE(value.Value, QString());
        QCOMPARE(values.Value, QStringList());
        QCOMPARE(alerts.Alerts, QStringList());

        test::MustExec(u"DROP TABLE MSGS"_s);
        const StoreResult<QList<NoteRow>> polled = notes.Addressed(u"ANN"_s);
        QVERIFY(polled.Failure && polled.Value.isEmpty());
        QVERIFY(notes.Delete(NoteRow { 1, u"ANN"_s, {}, {}, {}, {} }).Failure);
        QVERIFY(notes.Insert({ u"x"_s, u"ANN"_s, u"BOB"_s, u"0"_s, u'1' }).Failure);
        test::MustExec(u"DROP TABLE USRS"_s);
        QVERIFY(users.IsKnown(u"ANN"_s).Failure && users.Names().Failure);
    }

    void charPaddingIsTrimmed()
    {
        test::MustExec(AddUserStatement(u"AL"_s));
        test::MustExec(PostStatement(u"x"_s, u"AL"_s, u"BO"_s, u"0"_s, 5, u'1'));
        QCOMPARE(test::FirstValue(u"SELECT RECIPIENT FROM USRS"_s), u"AL"_s);
        QCOMPARE(test::ColumnValues(UserListQuery()), QStringList { u"AL"_s });
        QCOMPARE(test::FirstValue(u"SELECT SENDER FROM MSGS WHERE TKEY=5"_s), u"BO"_s);
        QCOMPARE(test::ColumnValues(u"SELECT MSG FROM MSGS"_s), QStringList { u"x"_s });
    }

    void emptyAndNullValuesAreLeftOutOfColumnValues()
    {
        test::MustExec(PostStatement(u"  "_s, u"ANN"_s, u"BOB"_s, u"0"_s, 1, u'1'));
        test::MustExec(u"INSERT INTO MSGS (TKEY) VALUES(2)"_s);
        test::MustExec(PostStatement(u"hello"_s, u"ANN"_s, u"BOB"_s, u"0"_s, 3, u'1'));
        QCOMPARE(test::ColumnValues(u"SELECT MSG FROM MSGS ORDER BY TKEY"_s),
            QStringList { u"hello"_s });
        QCOMPARE(test::FirstValue(u"SELECT MSG FROM MSGS WHERE TKEY=2"_s), QString());
    }

    void aLongValueIsReadWhole()
    {
        test::MustExec(u"CREATE TABLE LONGTEXT(V VARCHAR(20000))"_s);
        QString value;
        for (int i = 0; value.size() < 5000; ++i)
            value += QString::number(i) + u' ';
        value += u"end"_s;
        test::MustExec({ u"INSERT INTO LONGTEXT (V) VALUES(?)"_s, { value } });
        QCOMPARE(test::FirstValue(u"SELECT V FROM LONGTEXT"_s), value);
        QCOMPARE(test::ColumnValues(u"SELECT V FROM LONGTEXT"_s), QStringList { value });
    }

    void anyTextRoundTripsAndGoesAloneByItsRow_data()
    {
        test::Columns<QString, QString, QString>("text", "recipient", "sender");
        const auto row = [](const char* name, const QString& text, const QString& recipient,
                             const QString& sender) {
            QTest::addRow("%s", name) << text << recipient << sender;
        };
        const auto plain = [&row](const char* name, const QString& text) {
            row(name, text, text.left(15), u"BOB"_s);
        };
        plain("quotes, umlauts, dash, fraction", u"Grüße, O'Neil — ½"_s);
        plain("doubled quotes stay doubled", u"''"_s);
        plain("fifteen umlauts fit a name", u"ÄÖÜäöüßÄÖÜäöüßÄ"_s);
        plain("outside the first plane", u"Notiz 😀 ✓"_s);
        plain("backslash and percent", u"C:\\path 100%"_s);
        // Texts that pasted into a statement would end a quoted value early, escape its end
        // where backslashes escape, or read as markers and escape clauses of ODBC.
        plain("a backslash at the end", u"C:\\temp\\"_s);
        plain("a quote", u"it's"_s);
        plain("a percent sign", u"100%"_s);
        plain("an escape clause", u"{fn NOW()}"_s);
        plain("a marker", u"?"_s);
        plain("a backslash before a quote", u"O\\'Neil"_s);
        const QString injection = u"See you \\',0,0,0,0,0);DELETE FROM USRS;--"_s;
        QCOMPARE(injection.size(), 41);
        row("a second statement in 41 characters", injection, u"ANN"_s, u"BOB"_s);
        row("names that would forge the sender", u"hi\\"_s, u"ANN\\"_s, u"\\',$$EVE$$)--"_s);
        // Planted where the column takes it (a server's widened by its owner).
        row("a note past what a read takes is left out of the poll, said once",
            QString(qsizetype(8) * 1024 * 1024, u'x'), u"ANN"_s, u"BOB"_s);
    }

    void anyTextRoundTripsAndGoesAloneByItsRow()
    {
        QFETCH(QString, text);
        QFETCH(QString, recipient);
        QFETCH(QString, sender);
        if (qEnvironmentVariable("VIMO_TEST_PG_SETTINGS").contains(u"strings=off"_s))
            QCOMPARE(test::FirstValue(u"SHOW standard_conforming_strings"_s), u"off"_s);
        test::MustExec(AddUserStatement(u"ANN"_s));
        test::MustExec(PostStatement(u"bystander"_s, u"ANN"_s, u"BOB"_s, u"0"_s, 999, u'1'));
        const bool tooLong = text.size() > StoreSql::LongestValue;
        if (tooLong && test::StoreKind() == u"postgres"_s)
            test::MustExec(u"ALTER TABLE MSGS ALTER COLUMN MSG TYPE TEXT"_s);
        const StoreResult<qint64> key = notes.Insert({ text, recipient, sender, u"0"_s, u'1' });
        QVERIFY(key.Succeeded());
        if (tooLong) {
            const QRegularExpression leftOut(u"MSGS.* left out: its column 5 holds"_s);
            QTest::ignoreMessage(QtWarningMsg, leftOut);
            QElapsedTimer polled;
            polled.start();
            QCOMPARE(notes.Addressed(recipient).Value.size(), 1);
            qInfo("a poll past %lld characters took %lld ms", text.size(), polled.elapsed());
            QTest::failOnWarning(leftOut);
            QCOMPARE(notes.Addressed(recipient).Value.size(), 1);
            return;
        }
        const QList<NoteRow> rows = notes.Addressed(recipient).Value;
        QCOMPARE(rows.size(), recipient == u"ANN"_s ? 2 : 1);
        const auto read = std::find_if(
            rows.begin(), rows.end(), [&](const NoteRow& row) { return row.Key == key.Value; });
        QVERIFY(read != rows.end());
        QCOMPARE(*read, (NoteRow { key.Value, recipient, sender, u"0"_s, u"1"_s, text }));
        // What a poll read finds the row again, to delete it, and nothing else goes.
        QCOMPARE(notes.Delete(*read).Value, NoteTable::Deletion::Deleted);
        QCOMPARE(test::ColumnValues(u"SELECT MSG FROM MSGS"_s), QStringList { u"bystander"_s });
        QCOMPARE(test::ColumnValues(UserListQuery()), QStringList { u"ANN"_s });
    }
};

VIMO_TEST_MAIN(TestStore, QCoreApplication)
#include "TestStore.moc"
