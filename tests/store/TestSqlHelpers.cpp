#include "TestEnvironment.h"

#include "store/DateStamp.h"
#include "store/SqlHelpers.h"
#include "store/Statements.h"

#include <QTest>

using namespace vimo;
using namespace Qt::StringLiterals;

// The executors against the real drivers: this runs once on a SQLite data file and once on
// PostgreSQL.
class TestSqlHelpers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // A locale or environment that asks psqlODBC for another client encoding must not
        // change what is stored: the data source fixes it to UTF-8.
        qputenv("PGCLIENTENCODING", "LATIN1");
    }

    void init() { QVERIFY(test::UseFreshStore()); }

    void everyStatementRunsAndReadsBackWhatWasWritten()
    {
        test::AlertRecorder alerts;
        // The two creations, on a store without the tables.
        QVERIFY(ExecSql(u"DROP TABLE MSGS"_s));
        QVERIFY(ExecSql(u"DROP TABLE USRS"_s));
        QVERIFY(ExecSql(NotesTableCreation()));
        QVERIFY(ExecSql(UsersTableCreation()));

        QVERIFY(ExecSql(AddUserStatement(u"ANN"_s)));
        QVERIFY(ExecSql(AddUserStatement(u"O'NEIL  "_s)));
        QVERIFY(ExecSql(AddUserStatement(u"ANN"_s)));
        QCOMPARE(QueryFirstValue(UserLookupQuery(u"O'NEIL"_s)), u"O'NEIL"_s);
        QCOMPARE(QueryFirstValue(UserLookupQuery(u"ANN   "_s)), u"ANN"_s);
        QCOMPARE(QueryFirstValue(UserLookupQuery(u"BOB"_s)), QString());
        QStringList users = QueryColumnValues(UserListQuery());
        users.sort();
        QCOMPARE(users, (QStringList { u"ANN"_s, u"O'NEIL"_s }));

        QCOMPARE(QueryFirstValue(NextKeyQuery()), QString());
        const QString stamp = MakeDateStampFor(QDate(2026, 12, 6), DateStampNumeric);
        QVERIFY(ExecSql(PostStatement(u"Lunch at one?"_s, u"ANN"_s, u"O'NEIL"_s, stamp, 1, u'2')));
        QVERIFY(ExecSql(PostStatement(u"it's late"_s, u"O'NEIL"_s, u"ANN"_s, stamp, 2, u'3')));
        QVERIFY(ExecSql(PostStatement(u"and again"_s, u"ANN"_s, u"ANN"_s, stamp, 18, u'1')));
        QCOMPARE(AtoI(QueryFirstValue(NextKeyQuery())), 18);

        QStringList keys = QueryColumnValues(PollQuery(u"ANN"_s));
        keys.sort();
        QCOMPARE(keys, (QStringList { u"1"_s, u"18"_s }));
        QCOMPARE(QueryColumnValues(PollQuery(u"O'NEIL"_s)), QStringList { u"2"_s });
        QCOMPARE(QueryFirstValue(UrgencyQuery(2)), u"3"_s);
        QCOMPARE(QueryFirstValue(NoteTextQuery(2)), u"it's late"_s);
        QCOMPARE(QueryFirstValue(u"SELECT DT FROM MSGS WHERE TKEY=1"_s), u"20261206"_s);
        QCOMPARE(QueryFirstValue(u"SELECT SENDER FROM MSGS WHERE TKEY=1"_s), u"O'NEIL"_s);

        QVERIFY(ExecSql(DeleteStatement(2)));
        QCOMPARE(QueryColumnValues(PollQuery(u"O'NEIL"_s)), QStringList());
        // A note another copy has deleted reads as urgency 0 and an empty text.
        QCOMPARE(AtoI(QueryFirstValue(UrgencyQuery(2))), 0);
        QCOMPARE(QueryFirstValue(NoteTextQuery(2)), QString());
        QCOMPARE(alerts.Alerts, QStringList());
    }

    void deletingAMissingKeyIsNoFailure()
    {
        test::AlertRecorder alerts;
        QVERIFY(ExecSql(DeleteStatement(4711)));
        QCOMPARE(alerts.Alerts, QStringList());
    }

    void maxOnAnEmptyTableIsTheEmptyText()
    {
        test::AlertRecorder alerts;
        QCOMPARE(QueryFirstValue(NextKeyQuery()), QString());
        QCOMPARE(AtoI(QueryFirstValue(NextKeyQuery())) + 1, 1);
        QCOMPARE(alerts.Alerts, QStringList());
    }

    void aRejectedStatementGivesOneAlertThatStartsWithIt()
    {
        test::AlertRecorder alerts;
        const QString statement = u"INSERT INTO NOSUCHTABLE (A) VALUES(1)"_s;
        QVERIFY(!ExecSql(statement + u"  \n"_s));
        QCOMPARE(alerts.Alerts.size(), 1);
        const QString& alert = alerts.Alerts.first();
        QVERIFY2(alert.startsWith(statement + u" [Error ("_s), qPrintable(alert));
        // "(SQLSTATE) message]": a five-character state and the driver's message.
        const qsizetype open = statement.size() + 9;
        QCOMPARE(alert.mid(open + 5, 2), u") "_s);
        QVERIFY2(alert.size() > open + 8 && alert.endsWith(u']'), qPrintable(alert));
    }

    void aRejectedQueryGivesTheEmptyTextSilently()
    {
        test::AlertRecorder alerts;
        QCOMPARE(QueryFirstValue(u"SELECT NOTHING FROM NOSUCHTABLE"_s), QString());
        QCOMPARE(QueryColumnValues(u"SELECT NOTHING FROM NOSUCHTABLE"_s), QStringList());
        QCOMPARE(alerts.Alerts, QStringList());
    }

    void charPaddingIsTrimmed()
    {
        test::MustExec(AddUserStatement(u"AL"_s));
        test::MustExec(PostStatement(u"x"_s, u"AL"_s, u"BO"_s, u"0"_s, 5, u'1'));
        QCOMPARE(QueryFirstValue(u"SELECT RECIPIENT FROM USRS"_s), u"AL"_s);
        QCOMPARE(QueryColumnValues(UserListQuery()), QStringList { u"AL"_s });
        QCOMPARE(QueryFirstValue(u"SELECT SENDER FROM MSGS WHERE TKEY=5"_s), u"BO"_s);
        QCOMPARE(QueryColumnValues(u"SELECT MSG FROM MSGS"_s), QStringList { u"x"_s });
    }

    void emptyAndNullValuesAreLeftOutOfColumnValues()
    {
        test::MustExec(PostStatement(u"  "_s, u"ANN"_s, u"BOB"_s, u"0"_s, 1, u'1'));
        test::MustExec(u"INSERT INTO MSGS (TKEY) VALUES(2)"_s);
        test::MustExec(PostStatement(u"hello"_s, u"ANN"_s, u"BOB"_s, u"0"_s, 3, u'1'));
        QCOMPARE(
            QueryColumnValues(u"SELECT MSG FROM MSGS ORDER BY TKEY"_s), QStringList { u"hello"_s });
        QCOMPARE(QueryFirstValue(u"SELECT MSG FROM MSGS WHERE TKEY=2"_s), QString());
    }

    void aLongValueIsReadWhole()
    {
        test::MustExec(u"CREATE TABLE LONGTEXT(V VARCHAR(20000))"_s);
        QString value;
        for (int i = 0; value.size() < 5000; ++i)
            value += QString::number(i) + u' ';
        value += u"end"_s;
        test::MustExec(u"INSERT INTO LONGTEXT (V) VALUES('"_s + QuoteSql(value) + u"')"_s);
        QCOMPARE(QueryFirstValue(u"SELECT V FROM LONGTEXT"_s), value);
        QCOMPARE(QueryColumnValues(u"SELECT V FROM LONGTEXT"_s), QStringList { value });
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
        test::AlertRecorder alerts;
        QVERIFY(ExecSql(PostStatement(text, text.left(15), u"BOB"_s, u"0"_s, 9, u'1')));
        QCOMPARE(QueryFirstValue(NoteTextQuery(9)), text);
        QCOMPARE(QueryColumnValues(u"SELECT MSG FROM MSGS"_s), QStringList { text });
        QCOMPARE(QueryColumnValues(PollQuery(text.left(15))), QStringList { u"9"_s });
        QCOMPARE(alerts.Alerts, QStringList());
    }
};

VIMO_TEST_MAIN(TestSqlHelpers, QCoreApplication)
#include "TestSqlHelpers.moc"
