#include "TestEnvironment.h"

#include "delivery/NotePosting.h"
#include "model/NoteTexts.h"
#include "model/TextRules.h"
#include "store/OfficeTable.h"
#include "store/Statements.h"

#include <QDate>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <cstring>

using namespace vimo;
using namespace Qt::StringLiterals;

namespace {

QString Value(const QString& column, int key)
{
    return test::FirstValue(
        QStringLiteral("SELECT %1 FROM MSGS WHERE TKEY=%2").arg(column).arg(key));
}

int Count(const QString& query)
{
    return AtoI(test::FirstValue(query));
}

// The other half of the concurrency test: a copy of this program that posts `count` notes
// from `sender` to the store its parent set up, as soon as the parent says go. It prints what
// it stored and how many inserts found their key taken.
int RunPoster(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int count = QString::fromLocal8Bit(argv[2]).toInt();
    const QString sender = QString::fromLocal8Bit(argv[3]);
    Store store;
    if (store.Connect().Failure)
        return 2;

    std::printf("ready\n");
    std::fflush(stdout);
    char go[8] = {};
    if (std::fgets(go, sizeof go, stdin) == nullptr)
        return 3;

    int stored = 0;
    int failures = 0;
    int retries = 0;
    int most = 0;
    for (int i = 1; i <= count; ++i) {
        const PostOutcome outcome = WriteNote(
            store, sender, QStringLiteral("ANN"), QStringLiteral("%1 %2").arg(sender).arg(i), u'2');
        stored += outcome.Stored ? 1 : 0;
        if (outcome.Failure) {
            ++failures;
            std::fprintf(stderr, "refused: %s\n", qPrintable(outcome.Failure->Error.Message));
        }
        retries += outcome.Attempts - 1;
        most = qMax(most, outcome.Attempts);
    }
    std::printf("stored %d retries %d most %d\n", stored, retries, most);
    return stored == count && failures == 0 ? 0 : 1;
}

} // namespace

// Writing notes into a real store, on each kind: keys, the values of the row, taken keys.
class TestNotePosting : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(test::UseFreshStore()); }

    static PostOutcome Write(const QString& recipient, const QString& text, QChar urgency,
        const QString& sender = QStringLiteral("BOB"))
    {
        return WriteNote(test::TestStore(), sender, recipient, text, urgency);
    }

    void keysFollowTheLargestAndAreReusedAfterADelete()
    {
        test::AlertRecorder alerts;
        const PostOutcome first = Write(QStringLiteral("ANN"), QStringLiteral("a"), u'2');
        QVERIFY(first.Stored);
        QCOMPARE(first.Key, 1);
        QCOMPARE(Value(QStringLiteral("DT"), 1), QDate::currentDate().toString(u"yyyyMMdd"));
        QCOMPARE(Write(QStringLiteral("ANN"), QStringLiteral("b"), u'1').Key, 2);
        QCOMPARE(Write(QStringLiteral("ANN"), QStringLiteral("c"), u'1').Key, 3);
        test::MustExec(QStringLiteral("DELETE FROM MSGS WHERE TKEY=3"));
        QCOMPARE(Write(QStringLiteral("ANN"), QStringLiteral("d"), u'1').Key, 3);
        // A gap below the largest key stays a gap.
        test::MustExec(QStringLiteral("DELETE FROM MSGS WHERE TKEY=1"));
        QCOMPARE(Write(QStringLiteral("ANN"), QStringLiteral("e"), u'1').Key, 4);
        QVERIFY(alerts.Alerts.isEmpty());
    }

    void valuesArriveAsTyped_data()
    {
        test::Columns<QString, QString, QChar, QString, QString, QString>(
            "text", "recipient", "urgency", "storedText", "storedRecipient", "storedUrgency");
        const QString ann = QStringLiteral("ANN");
        QTest::addRow("quotes are doubled in the statement only, no box is urgency 3")
            << QStringLiteral("it's 'done'") << QStringLiteral("O'NEIL") << UrgencyCharacter(0, 0)
            << QStringLiteral("it's 'done'") << QStringLiteral("O'NEIL") << QStringLiteral("3");
        QTest::addRow("trailing white space is cut, leading kept, yellow is 1")
            << QStringLiteral("  Lunch? \t\r\n") << QStringLiteral("ANN  ")
            << UrgencyCharacter(1, 0) << QStringLiteral("  Lunch?") << ann << QStringLiteral("1");
        QTest::addRow("line breaks stay CR LF, letters beyond ASCII, green is 2")
            << QStringLiteral("Grüße\r\n\r\nZoë – 東京") << QStringLiteral("ZOË")
            << UrgencyCharacter(0, 1) << QStringLiteral("Grüße\r\n\r\nZoë – 東京")
            << QStringLiteral("ZOË") << QStringLiteral("2");
        QTest::addRow("percent signs are no placeholders, yellow wins")
            << QStringLiteral("100% of %1") << ann << UrgencyCharacter(1, 1)
            << QStringLiteral("100% of %1") << ann << QStringLiteral("1");
        QTest::addRow("an empty text")
            << QString() << ann << QChar(u'3') << QString() << ann << QStringLiteral("3");
        QTest::addRow("a full note") << QString(250, u'x') << ann << QChar(u'3')
                                     << QString(250, u'x') << ann << QStringLiteral("3");
    }

    void valuesArriveAsTyped()
    {
        QFETCH(QString, text);
        QFETCH(QString, recipient);
        QFETCH(QChar, urgency);
        QFETCH(QString, storedText);
        QFETCH(QString, storedRecipient);
        QFETCH(QString, storedUrgency);
        test::AlertRecorder alerts;
        const PostOutcome outcome = Write(recipient, text, urgency, QStringLiteral("D'ARCY "));
        QVERIFY2(outcome.Stored, outcome.Failure ? qPrintable(outcome.Failure->Error.Message) : "");
        QCOMPARE(Value(QStringLiteral("MSG"), outcome.Key), storedText);
        // Nothing that the reading trims away was stored either.
        QCOMPARE(
            Count(QStringLiteral("SELECT LENGTH(MSG) FROM MSGS WHERE TKEY=%1").arg(outcome.Key)),
            storedText.size());
        QCOMPARE(Value(QStringLiteral("SENDER"), outcome.Key), QStringLiteral("D'ARCY"));
        QCOMPARE(Value(QStringLiteral("URGENCY"), outcome.Key), storedUrgency);
        // The recipient's poll finds it.
        QCOMPARE(test::ColumnValues({ QStringLiteral("SELECT TKEY FROM MSGS WHERE RECIPIENT=?"),
                     { storedRecipient } }),
            QStringList { QString::number(outcome.Key) });
    }

    void refusalsEndInOneAlertAndOnlyTakenKeysAreRetried()
    {
        // An index that lets only one row in stands for copies that always post first. Every
        // try must be seen as a taken key, on either driver.
        test::MustExec(test::StoreKind() == QLatin1String("postgres")
                ? QStringLiteral("CREATE UNIQUE INDEX MSGS_ONE ON MSGS((TKEY*0))")
                : QStringLiteral("CREATE UNIQUE INDEX MSGS_ONE ON MSGS(TKEY*0)"));
        QVERIFY(Write(QStringLiteral("ANN"), QStringLiteral("first"), u'1').Stored);
        test::AlertRecorder alerts;
        PostOutcome outcome = Write(QStringLiteral("ANN"), QStringLiteral("second"), u'1');
        QVERIFY(!outcome.Stored);
        QCOMPARE(outcome.Attempts, PostAttempts);
        QVERIFY(outcome.Failure);
        // The statement as sent, its values bound beside it.
        QCOMPARE(outcome.Failure->Statement,
            QStringLiteral(
                "INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,URGENCY) VALUES(?,?,?,?,?,?)"));
        // The writing itself tells nobody; the tray window shows the refusal.
        QCOMPARE(alerts.Alerts, QStringList());
        QCOMPARE(Count(QStringLiteral("SELECT COUNT(*) FROM MSGS")), 1);

        // Any other refusal ends the post at once. A next key that could not be read is no
        // key 1: the post fails there.
        test::MustExec(QStringLiteral("DROP TABLE MSGS"));
        outcome = Write(QStringLiteral("ANN"), QStringLiteral("lost"), u'1');
        QVERIFY(!outcome.Stored);
        QCOMPARE(outcome.Attempts, 1);
        QVERIFY(outcome.Failure && outcome.Failure->Kind != FailureKind::DuplicateKey);
        QCOMPARE(outcome.Failure->Statement, NextKeyQuery());
    }

    void aNoteGoesOnlyWhenEveryNameIsKnown_data()
    {
        test::Columns<QStringList, QString, QStringList>("names", "alert", "reached");
        QTest::addRow("every name known") << QStringList { u"ANN"_s, u"BOB"_s } << QString()
                                          << QStringList { u"ANN"_s, u"BOB"_s };
        QTest::addRow("one unknown name stops the whole note, naming it")
            << QStringList { u"ANN"_s, u"ZED"_s } << UnknownUserAlert(u"ZED"_s) << QStringList();
        QTest::addRow("a name alone has the alert it always had")
            << QStringList { u"ZED"_s } << u"User name must be Valid\n[Press ? for List]"_s
            << QStringList();
        QTest::addRow("a group is its members but the sender, each reached once")
            << QStringList { u"SALES"_s, u"ANN"_s } << QString()
            << QStringList { u"ANN"_s, u"CAROL"_s };
        QTest::addRow("ALL is every user but the sender")
            << QStringList { u"ALL"_s } << QString() << QStringList { u"ANN"_s, u"CAROL"_s };
        QTest::addRow("a name with a zero-width space is refused as such")
            << QStringList { u"ANN"_s, u"BOB\u200b"_s } << UnseenNameAlert(u"BOB\u200b"_s)
            << QStringList();
    }

    void aNoteGoesOnlyWhenEveryNameIsKnown()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, alert);
        QFETCH(QStringList, reached);
        for (const QString& user : { u"ANN"_s, u"BOB"_s, u"CAROL"_s })
            test::MustExec(AddUserStatement(user));
        OfficeTable office(test::TestStore());
        QVERIFY(office.Create().isEmpty());
        QVERIFY(office.SetGroup(u"SALES"_s, { u"BOB"_s, u"CAROL"_s, u"ANN"_s }).Succeeded());
        const SendVerdict verdict = SendNote(test::TestStore(), u"BOB"_s, { names, u"hi"_s, u'3' });
        QCOMPARE(verdict.Alert, alert);
        QStringList stored = test::ColumnValues(u"SELECT RECIPIENT FROM MSGS ORDER BY TKEY"_s);
        stored.sort();
        QCOMPARE(stored, reached);
    }

    void aColleagueLongAwayIsNamedOnceAndTheNoteGoesAllTheSame()
    {
        test::MustExec(AddUserStatement(u"CAROL"_s));
        QVERIFY(OfficeTable(test::TestStore()).Create().isEmpty());
        test::MustExec(u"INSERT INTO VIMO_PRESENCE (NAME,SEEN,STATE) VALUES('CAROL',1000,0)"_s);
        QSet<QString> told;
        const NoteDraft draft { { u"CAROL"_s }, u"hi"_s, u'3' };
        const SendVerdict first = SendNote(test::TestStore(), u"ANN"_s, draft, &told);
        QVERIFY(first.Sent && first.Notice.startsWith(u"CAROL has not been in since"_s));
        const SendVerdict second = SendNote(test::TestStore(), u"ANN"_s, draft, &told);
        QVERIFY(second.Sent && second.Notice.isEmpty());
    }

    void twoCopiesPostingAtOnceLoseNothing()
    {
        constexpr int PerCopy = 200;
        QProcess copies[2];
        for (int i = 0; i < 2; ++i) {
            copies[i].setProcessChannelMode(QProcess::ForwardedErrorChannel);
            copies[i].start(QCoreApplication::applicationFilePath(),
                { QStringLiteral("poster"), QString::number(PerCopy),
                    QStringLiteral("P%1").arg(i + 1) });
        }
        // Both are connected before either posts.
        for (QProcess& copy : copies) {
            while (!copy.canReadLine())
                QVERIFY(copy.waitForReadyRead(30000));
            QCOMPARE(copy.readLine(), QByteArray("ready\n"));
        }
        for (QProcess& copy : copies)
            copy.write("go\n");
        // Without an event loop the words leave only when asked to.
        for (QProcess& copy : copies)
            QVERIFY(copy.waitForBytesWritten(30000));

        for (QProcess& copy : copies) {
            QVERIFY(copy.waitForFinished(240000));
            const QByteArray report = copy.readAll().trimmed();
            QCOMPARE(copy.exitCode(), 0);
            qInfo("%s", report.constData());
            // On SQLite the key is read and the row written under the file's write lock: the
            // copies take turns and never meet on a key.
            if (test::StoreKind() == QLatin1String("sqlite"))
                QVERIFY2(report.contains(" retries 0 "), report.constData());
        }

        QCOMPARE(Count(QStringLiteral("SELECT COUNT(*) FROM MSGS")), 2 * PerCopy);
        QCOMPARE(Count(QStringLiteral("SELECT COUNT(DISTINCT TKEY) FROM MSGS")), 2 * PerCopy);
        for (const char* sender : { "P1", "P2" }) {
            QCOMPARE(Count(QStringLiteral("SELECT COUNT(DISTINCT MSG) FROM MSGS WHERE SENDER='%1'")
                               .arg(QLatin1String(sender))),
                PerCopy);
        }
    }
};

int main(int argc, char* argv[])
{
    // A poster runs on its parent's ODBC files, inherited through the environment.
    if (argc == 4 && std::strcmp(argv[1], "poster") == 0)
        return RunPoster(argc, argv);
    test::IsolateUserFiles();
    QCoreApplication app(argc, argv);
    TestNotePosting test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestNotePosting.moc"
