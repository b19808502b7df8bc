#include "TestEnvironment.h"

#include "store/DateStamp.h"
#include "store/Statements.h"
#include "store/TextRules.h"

#include <QTest>

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

        const StoreResult<int> none = store.LargestKey();
        QVERIFY(none.Succeeded());
        QCOMPARE(none.Value, 0);
        const QString stamp = MakeDateStamp(QDate(2026, 12, 6));
        QVERIFY(store.Post(u"Lunch at one?"_s, u"ANN"_s, u"O'NEIL"_s, stamp, 1, u'2').Succeeded());
        QVERIFY(store.Post(u"it's late"_s, u"O'NEIL"_s, u"ANN"_s, stamp, 2, u'3').Succeeded());
        QVERIFY(store.Post(u"and again"_s, u"ANN"_s, u"ANN"_s, stamp, 18, u'1').Succeeded());
        QCOMPARE(store.LargestKey().Value, 18);

        QList<int> keys = store.PollKeys(u"ANN"_s).Value;
        std::sort(keys.begin(), keys.end());
        QCOMPARE(keys, (QList<int> { 1, 18 }));
        QCOMPARE(store.PollKeys(u"O'NEIL"_s).Value, QList<int> { 2 });
        QCOMPARE(store.Urgency(2).Value, 3);
        QCOMPARE(store.NoteText(2).Value, u"it's late"_s);
        QCOMPARE(test::FirstValue(u"SELECT DT FROM MSGS WHERE TKEY=1"_s), u"20261206"_s);
        QCOMPARE(test::FirstValue(u"SELECT SENDER FROM MSGS WHERE TKEY=1"_s), u"O'NEIL"_s);

        QVERIFY(store.Delete(2).Succeeded());
        QCOMPARE(store.PollKeys(u"O'NEIL"_s).Value, QList<int>());
        // A note another copy has deleted reads as urgency 0 and an empty text, and that is
        // no failure.
        const StoreResult<int> urgency = store.Urgency(2);
        const StoreResult<QString> text = store.NoteText(2);
        QVERIFY(urgency.Succeeded() && text.Succeeded());
        QCOMPARE(urgency.Value, 0);
        QCOMPARE(text.Value, QString());
    }

    void pollKeysKeepTheStoresOrder()
    {
        for (int key : { 5, 3, 9 })
            test::MustExec(PostStatement(u"hi"_s, u"BOB"_s, u"ANN"_s, u"20260101"_s, key, u'1'));
        // The rows in the order the store gives them, which is the order notes open in.
        QCOMPARE(store.PollKeys(u"BOB"_s).Value, (QList<int> { 5, 3, 9 }));
    }

    void deletingAMissingKeyIsNoFailure()
    {
        test::AlertRecorder alerts;
        QVERIFY(store.Delete(4711).Succeeded());
        QCOMPARE(alerts.Alerts, QStringList());
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
        const StoreResult<int> largest = store.LargestKey();
        QVERIFY(largest.Failure);
        QCOMPARE(largest.Value, 0);
        QVERIFY(store.Urgency(1).Failure && store.NoteText(1).Failure
            && store.PollKeys(u"A"_s).Failure);
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
        QVERIFY(store.Post(text, text.left(15), u"BOB"_s, u"0"_s, 9, u'1').Succeeded());
        QCOMPARE(store.NoteText(9).Value, text);
        QCOMPARE(test::ColumnValues(u"SELECT MSG FROM MSGS"_s), QStringList { text });
        QCOMPARE(store.PollKeys(text.left(15)).Value, QList<int> { 9 });
    }
};

VIMO_TEST_MAIN(TestStore, QCoreApplication)
#include "TestStore.moc"
