#include "TestEnvironment.h"

#include "model/DateStamp.h"
#include "model/TextRules.h"
#include "store/Statements.h"

#include <QFile>
#include <QFileInfo>
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
        QVERIFY(store.ExecSql(NotesTableCreation()).Succeeded());
        QVERIFY(store.ExecSql(UsersTableCreation()).Succeeded());

        QVERIFY(store.AddUser(u"ANN"_s).Succeeded());
        QVERIFY(store.AddUser(u"O'NEIL  "_s).Succeeded());
        QVERIFY(store.AddUser(u"ANN"_s).Succeeded());
        QVERIFY(store.IsKnownUser(u"O'NEIL"_s).Value);
        QVERIFY(store.IsKnownUser(u"ANN   "_s).Value);
        const StoreResult<bool> bob = store.IsKnownUser(u"BOB"_s);
        QVERIFY(bob.Succeeded() && !bob.Value);
        QStringList users = store.UserNames().Value;
        users.sort();
        QCOMPARE(users, (QStringList { u"ANN"_s, u"O'NEIL"_s }));

        const QString stamp = MakeDateStamp(QDate(2026, 12, 6));
        QVERIFY(store.Post(u"Lunch at one?"_s, u"ANN"_s, u"O'NEIL"_s, stamp, 1, u'2').Succeeded());
        QVERIFY(store.Post(u"it's late"_s, u"O'NEIL"_s, u"ANN"_s, stamp, 2, u'3').Succeeded());
        QVERIFY(store.Post(u"and again"_s, u"ANN"_s, u"ANN"_s, stamp, 18, u'1').Succeeded());

        QList<NoteRow> notes = store.Notes(u"ANN"_s).Value;
        std::sort(notes.begin(), notes.end(),
            [](const NoteRow& a, const NoteRow& b) { return a.Key < b.Key; });
        QCOMPARE(notes.size(), 2);
        QCOMPARE(notes[0],
            (NoteRow { 1, u"ANN"_s, u"O'NEIL"_s, u"20261206"_s, u"2"_s, u"Lunch at one?"_s }));
        QCOMPARE(notes[1].Key, 18);
        const StoreResult<QList<NoteRow>> oneil = store.Notes(u"O'NEIL  "_s);
        QVERIFY(oneil.Succeeded() && oneil.Value.size() == 1);
        const NoteRow late = oneil.Value.first();
        QCOMPARE(late, (NoteRow { 2, u"O'NEIL"_s, u"ANN"_s, stamp, u"3"_s, u"it's late"_s }));

        // The row itself goes, and a second deletion finds it gone: no failure, no other row.
        const StoreResult<Store::Deletion> deleted = store.DeleteNote(late);
        QVERIFY(deleted.Succeeded());
        QCOMPARE(deleted.Value, Store::Deletion::Deleted);
        QCOMPARE(store.Notes(u"O'NEIL"_s).Value, QList<NoteRow>());
        const StoreResult<Store::Deletion> again = store.DeleteNote(late);
        QVERIFY(again.Succeeded());
        QCOMPARE(again.Value, Store::Deletion::AlreadyGone);
        QCOMPARE(test::FirstValue(u"SELECT COUNT(*) FROM MSGS"_s), u"2"_s);
    }

    void notesKeepTheStoresOrder()
    {
        for (int key : { 5, 3, 9 })
            test::MustExec(PostStatement(u"hi"_s, u"BOB"_s, u"ANN"_s, u"20260101"_s, key, u'1'));
        // The rows in the order the store gives them, which is the order notes open in.
        QList<qint64> keys;
        for (const NoteRow& row : store.Notes(u"BOB"_s).Value)
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
        for (const NoteRow& row : store.Notes(u"ANN"_s).Value)
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
            = store.InsertNote({ u"next"_s, u"ANN"_s, u"BOB"_s, u"20261207"_s, u'1' });
        QVERIFY2(next.Succeeded(), next.Failure ? qPrintable(next.Failure->Error.Message) : "");
        QCOMPARE(next.Value, sqlite ? 3000000001 : 1);
        if (sqlite) {
            test::MustExec(PostStatement(
                u"end"_s, u"BOB"_s, u"CAT"_s, u"1"_s, std::numeric_limits<qint64>::max(), u'1'));
            QCOMPARE(store.InsertNote({ u"after"_s, u"ANN"_s, u"BOB"_s, u"1"_s, u'1' }).Value, 1);
        }
        QCOMPARE(test::FirstValue(u"SELECT MSG FROM MSGS WHERE TKEY=2147483647"_s), u"top"_s);
    }

    void theRowCheckFindsTheNoteAsWrittenAndNoOther()
    {
        // After a broken link a post looks for its row before it writes it again; a deletion
        // takes only the row its window shows. Both match the row by the same rule.
        const NewNote note { u"it's 100% 'done'  "_s, u"O'NEIL "_s, u"D'ARCY"_s, u"20261207"_s,
            u'2' };
        const StoreResult<qint64> key = store.InsertNote(note);
        QVERIFY(key.Succeeded());
        const NoteRow written { key.Value, u"O'NEIL"_s, u"D'ARCY"_s, u"20261207"_s, u"2"_s,
            u"it's 100% 'done'"_s };
        QCOMPARE(store.Notes(u"O'NEIL"_s).Value, QList<NoteRow> { written });
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
        const QList<NoteRow> bare = store.Notes(u"ANN"_s).Value;
        QCOMPARE(bare.size(), 1);
        QCOMPARE(store.DeleteNote(bare.first()).Value, Store::Deletion::Deleted);
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
        const StoreResult<QList<NoteRow>> gone = store.Notes(u"ANN"_s);
        QVERIFY(gone.Failure);
        QVERIFY2(IsConnectionLost(gone.Failure->Error), qPrintable(gone.Failure->Error.Message));
        const StoreResult<qint64> refused
            = store.InsertNote({ u"lost?"_s, u"ANN"_s, u"BOB"_s, u"1"_s, u'1' });
        QVERIFY(refused.Failure && IsStoreUnreachable(refused.Failure->Error));
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
        for (const NoteRow& row : store.Notes(u"ANN"_s).Value)
            texts << row.Text;
        QCOMPARE(texts, (QStringList { u"before"_s, u"after"_s }));
        QVERIFY(store.InsertNote({ u"back"_s, u"ANN"_s, u"BOB"_s, u"1"_s, u'1' }).Succeeded());
    }

    void aRefusedStatementAlertsOnceStartingWithIt()
    {
        test::AlertRecorder alerts;
        const QString statement = u"INSERT INTO NOSUCHTABLE (A) VALUES(1)"_s;
        const StoreResult<> refused = store.ExecSql(statement + u"  \n"_s);
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
        const StoreResult<QString> value
            = store.QueryFirstValue(u"SELECT NOTHING FROM NOSUCHTABLE"_s);
        const StoreResult<QStringList> values
            = store.QueryColumnValues(u"SELECT NOTHING FROM NOSUCHTABLE"_s);
        QVERIFY(value.Failure && values.Failure);
        QVERIFY(!value.Failure->Error.State.isEmpty());
        // Callers that take a failure as nothing there read the empty value.
        QCOMPARE(value.Value, QString());
        QCOMPARE(values.Value, QStringList());
        QCOMPARE(alerts.Alerts, QStringList());

        test::MustExec(u"DROP TABLE MSGS"_s);
        const StoreResult<QList<NoteRow>> notes = store.Notes(u"ANN"_s);
        QVERIFY(notes.Failure && notes.Value.isEmpty());
        QVERIFY(store.DeleteNote(NoteRow { 1, u"ANN"_s, {}, {}, {}, {} }).Failure);
        QVERIFY(store.InsertNote({ u"x"_s, u"ANN"_s, u"BOB"_s, u"0"_s, u'1' }).Failure);
        test::MustExec(u"DROP TABLE USRS"_s);
        QVERIFY(store.IsKnownUser(u"ANN"_s).Failure && store.UserNames().Failure);
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
        test::MustExec(u"INSERT INTO LONGTEXT (V) VALUES('"_s + QuoteSql(value) + u"')"_s);
        QCOMPARE(test::FirstValue(u"SELECT V FROM LONGTEXT"_s), value);
        QCOMPARE(test::ColumnValues(u"SELECT V FROM LONGTEXT"_s), QStringList { value });
    }

    void quotesAndNonAsciiTextRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addRow("quotes, umlauts, dash, fraction") << u"Grüße, O'Neil — ½"_s;
        QTest::addRow("doubled quotes stay doubled") << u"''"_s;
        QTest::addRow("fifteen umlauts fit a name") << u"ÄÖÜäöüßÄÖÜäöüßÄ"_s;
        QTest::addRow("outside the first plane") << u"Notiz 😀 ✓"_s;
        QTest::addRow("backslash and percent") << u"C:\\path 100%"_s;
    }

    void quotesAndNonAsciiTextRoundTrip()
    {
        QFETCH(QString, text);
        const StoreResult<qint64> key
            = store.InsertNote({ text, text.left(15), u"BOB"_s, u"0"_s, u'1' });
        QVERIFY(key.Succeeded());
        QCOMPARE(test::ColumnValues(u"SELECT MSG FROM MSGS"_s), QStringList { text });
        const QList<NoteRow> rows = store.Notes(text.left(15)).Value;
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().Text, text);
        // What a poll read finds the row again, to delete it.
        QCOMPARE(store.DeleteNote(rows.first()).Value, Store::Deletion::Deleted);
        QCOMPARE(test::FirstValue(u"SELECT COUNT(*) FROM MSGS"_s), u"0"_s);
    }
};

VIMO_TEST_MAIN(TestStore, QCoreApplication)
#include "TestStore.moc"
