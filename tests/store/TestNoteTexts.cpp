#include "TestEnvironment.h"

#include "store/NoteTexts.h"
#include "store/Receipts.h"

#include <QLocale>
#include <QTest>
#include <QTimeZone>

using namespace vimo;
using namespace Qt::StringLiterals;

// What the program says about a note: who and when, whom it goes to, whether it was seen.
class TestNoteTexts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void tipNamesSenderAndDay_data()
    {
        test::Columns<QString, qint64, QString>("sender", "stamp", "tip");
        QTest::addRow("English under a German locale")
            << u"ANN"_s << qint64(20261207) << u"From ANN, Mon 7 Dec 2026"_s;
        QTest::addRow("a leap day")
            << u"O'NEIL"_s << qint64(20280229) << u"From O'NEIL, Tue 29 Feb 2028"_s;
        for (const qint64 stamp : { 0LL, -20261207LL, 20261332LL, 20260431LL, 20270229LL, 123LL })
            QTest::addRow("stamp %lld names no day", stamp) << u"ANN"_s << stamp << u"From ANN"_s;
        QTest::addRow("no sender") << QString() << qint64(20261207) << u"Mon 7 Dec 2026"_s;
        QTest::addRow("neither") << QString() << qint64(0) << QString();
    }

    void tipNamesSenderAndDay()
    {
        QFETCH(QString, sender);
        QFETCH(qint64, stamp);
        QFETCH(QString, tip);
        QCOMPARE(NoteTipText(sender, stamp), tip);
    }

    void recipientListsSplitIntoNames_data()
    {
        test::Columns<QString, QStringList>("list", "names");
        QTest::addRow("two") << u"ANN, BOB"_s << QStringList { u"ANN"_s, u"BOB"_s };
        QTest::addRow("blanks, empty entries and repeats go")
            << u" ANN ,,\tBOB ,ANN, "_s << QStringList { u"ANN"_s, u"BOB"_s };
        // A name stored in lower case is another user to the store.
        QTest::addRow("case is kept") << u"alf, ALF"_s << QStringList { u"alf"_s, u"ALF"_s };
        QTest::addRow("an apostrophe") << u"O'NEIL"_s << QStringList { u"O'NEIL"_s };
        QTest::addRow("nothing but commas") << u" , ,"_s << QStringList();
        QTest::addRow("a name too long stays for the check to name it")
            << u"ABCDEFGHIJKLMNOP"_s << QStringList { u"ABCDEFGHIJKLMNOP"_s };
    }

    void recipientListsSplitIntoNames()
    {
        QFETCH(QString, list);
        QFETCH(QStringList, names);
        QCOMPARE(SplitRecipientNames(list), names);
        QCOMPARE(UnknownUserAlert(u"NOBODY"_s),
            u"User name must be Valid: NOBODY\n[Press ? for List]"_s);
    }

    void receiptStates_data()
    {
        test::Columns<QString, QString, QString>("shown", "deleted", "state");
        QTest::addRow("no receipt") << QString() << QString() << u"waiting"_s;
        QTest::addRow("on screen")
            << u"2026-12-07T10:42:05Z"_s << QString() << u"on screen since Mon 7 Dec 2026 10:42"_s;
        QTest::addRow("deleted after it showed")
            << u"2026-12-07T10:42:05Z"_s << u"2026-12-07T23:59:59Z"_s
            << u"deleted Mon 7 Dec 2026 23:59"_s;
        QTest::addRow("times that cannot be read still count")
            << u"soon"_s << QString() << u"on screen"_s;
        QTest::addRow("a deletion that cannot be read") << QString() << u"x"_s << u"deleted"_s;
    }

    void receiptStates()
    {
        QFETCH(QString, shown);
        QFETCH(QString, deleted);
        QFETCH(QString, state);
        QCOMPARE(ReceiptStateText({ u"BOB"_s, 20261207, u"hi"_s, shown, deleted }), state);
    }

    // Written in the recipient's zone, read in the sender's: stored in UTC.
    void receiptTimesAreStoredInUtc()
    {
        const QDateTime berlin(QDate(2026, 12, 7), QTime(11, 42, 5), QTimeZone("Europe/Berlin"));
        QCOMPARE(ReceiptTime(berlin), u"2026-12-07T10:42:05Z"_s);
        QCOMPARE(ReceiptTime(berlin).size(), 20);
    }
};

VIMO_TEST_MAIN(TestNoteTexts, QCoreApplication)
#include "TestNoteTexts.moc"
