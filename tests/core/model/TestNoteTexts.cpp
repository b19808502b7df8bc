#include "TestEnvironment.h"

#include "model/LaterNotes.h"
#include "model/NoteTexts.h"
#include "model/Presence.h"
#include "model/Receipts.h"

#include <QLocale>
#include <QTest>
#include <QTimeZone>

using namespace vimo;
using namespace Qt::StringLiterals;

// What the program says about a note: who and when, whom it goes to, whether it was seen.
class TestNoteTexts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // An English locale reads exactly as the C locale does.
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void presenceSaysInAwayOrWhenLastIn_data()
    {
        const auto at = [](int day, int hour, int minute = 0) {
            return QDateTime(QDate(2026, 12, day), QTime(hour, minute), Qt::UTC).toSecsSinceEpoch();
        };
        test::Columns<qint64, int, QString, QString>("seen", "state", "label", "notice");
        QTest::addRow("a beat a minute ago is in") << at(8, 9, 59) << 1 << u"in"_s << QString();
        QTest::addRow("an idle desktop is away") << at(8, 9, 59) << 2 << u"away"_s << QString();
        QTest::addRow("a copy that quit today says when")
            << at(8, 9) << 0 << u"last in 09:00"_s << QString();
        QTest::addRow("beats that stopped without a goodbye are not in")
            << at(8, 9, 48) << 1 << u"last in 09:48"_s << QString();
        QTest::addRow("an earlier day shows the date, and a day away is said once")
            << at(1, 9) << 0 << u"last in Tue 1 Dec"_s
            << u"BOB has not been in since Tue 1 Dec; the note waits for them."_s;
        QTest::addRow("within the week the weekday says since when")
            << at(4, 17) << 0 << u"last in Fri 4 Dec"_s
            << u"BOB has not been in since Friday; the note waits for them."_s;
        QTest::addRow("no row says nothing") << qint64(-1) << 0 << QString() << QString();
    }

    void presenceSaysInAwayOrWhenLastIn()
    {
        QFETCH(qint64, seen);
        QFETCH(int, state);
        PresenceView view;
        view.Now = QDateTime(QDate(2026, 12, 8), QTime(10, 0), Qt::UTC).toSecsSinceEpoch();
        if (seen >= 0)
            view.Rows.insert(u"BOB"_s, { u"BOB"_s, seen, PresenceState(state) });
        QTEST(PresenceLabel(view, u"BOB"_s), "label");
        QTEST(LongAbsenceNotice(view, { u"BOB"_s, u"ANN"_s }), "notice");
    }

    void tipNamesSenderAndDay()
    {
        QCOMPARE(NoteTipText(u"ANN"_s, 20261207), u"From ANN, Mon 7 Dec 2026"_s);
        for (const qint64 noDay : { 0LL, -20261207LL, 20261332LL, 20270229LL, 123LL })
            QCOMPARE(NoteTipText(u"ANN"_s, noDay), u"From ANN"_s);
        QCOMPARE(NoteTipText(QString(), 20261207), u"Mon 7 Dec 2026"_s);
    }

    // Whoever can write the store writes these texts: shown on one line, cut, never halved.
    void storedTextOnOneLine()
    {
        QCOMPARE(ShownLine(u"a\r\nb\nc\0d\x1b[2J\u202ee"_s, 15), u"a b c d [2J e"_s);
        const QString smiles = QString(20, u'.').replace(u'.', u"\U0001F600"_s);
        QCOMPARE(ShownLine(smiles, 15), smiles.left(30) + u"\u2026"_s);
    }

    void recipientListsSplitIntoNames()
    {
        QCOMPARE(SplitRecipientNames(u"ANN, BOB"_s), QStringList({ u"ANN"_s, u"BOB"_s }));
        QCOMPARE(
            SplitRecipientNames(u" ANN ,,\tBOB ,ANN, "_s), QStringList({ u"ANN"_s, u"BOB"_s }));
        // A name stored in lower case is another user to the store.
        QCOMPARE(SplitRecipientNames(u"alf, ALF"_s), QStringList({ u"alf"_s, u"ALF"_s }));
    }

    void receiptStates()
    {
        const auto state = [](const QString& shown, const QString& deleted) {
            return ReceiptStateText({ u"BOB"_s, 20261207, u"hi"_s, shown, deleted });
        };
        const QString at = u"2026-12-07T10:42:05Z"_s;
        QCOMPARE(state({}, {}), u"waiting"_s);
        QCOMPARE(state(at, {}), u"on screen since Mon 7 Dec 2026 10:42"_s);
        QCOMPARE(state(at, u"2026-12-07T23:59:59Z"_s), u"deleted Mon 7 Dec 2026 23:59"_s);
        // A time that cannot be read still counts.
        QCOMPARE(state(u"soon"_s, {}), u"on screen"_s);
        // A note for later says when it comes, until it has come.
        const QDateTime due(QDate(2026, 12, 8), QTime(15, 0), Qt::UTC);
        QCOMPARE(
            ReceiptStateText({ u"BOB"_s, 20261208, u"hi"_s, {}, {}, 4, due.toSecsSinceEpoch() }),
            u"at Tue 8 Dec 2026 15:00"_s);
    }

    void notesForLaterOfferAnAfternoonOrTheNextMorningAndRefuseThePast()
    {
        const QDateTime morning(QDate(2026, 12, 8), QTime(10, 0));
        QCOMPARE(DefaultDue(morning), QDateTime(QDate(2026, 12, 8), QTime(15, 0)));
        QCOMPARE(DefaultDue(morning.addSecs(4 * 3600 + 31 * 60)),
            QDateTime(QDate(2026, 12, 9), QTime(9, 0)));
        QVERIFY(!DueRefusal(morning.addSecs(60), morning));
        QVERIFY(DueRefusal(morning, morning));
        QVERIFY(DueRefusal(morning.addYears(1).addSecs(1), morning));
    }

    // Written in the recipient's zone, read in the sender's.
    void receiptTimesAreStoredInUtc()
    {
        const QDateTime berlin(QDate(2026, 12, 7), QTime(11, 42, 5), QTimeZone("Europe/Berlin"));
        QCOMPARE(ReceiptTime(berlin), u"2026-12-07T10:42:05Z"_s);
    }
};

VIMO_TEST_MAIN(TestNoteTexts, QCoreApplication)
#include "TestNoteTexts.moc"
