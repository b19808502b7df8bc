#include "TestEnvironment.h"
#include "TestWidgets.h"

#include "exchange/NoteExchange.h"
#include "notes/CNoteDlg.h"
#include "store/Statements.h"
#include "widgets/CColorLabel.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace vimo;

// Polling, delivery and deletion against a real store: what opens where, in which colour,
// and what happens to the window, the slot and the row.
class TestNoteExchange : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> Owner;
    std::unique_ptr<NoteExchange> Exchange;

    static void Post(
        int key, int urgency, const QString& text, const QString& to = QStringLiteral("ANN"))
    {
        test::MustExec(PostStatement(text, to, QStringLiteral("BOB"), QStringLiteral("20261207"),
            key, QChar(u'0' + urgency)));
    }

    // The note on screen that shows this key.
    CNoteDlg* NoteWithKey(int key) const
    {
        for (CNoteDlg* note : Owner->findChildren<CNoteDlg*>()) {
            if (note->Key == key)
                return note;
        }
        return nullptr;
    }

    // What the user picks from a note's menu: D for Delete, H for Hide.
    static void Choose(CNoteDlg* note, Qt::Key key)
    {
        test::ChooseFromContextMenu(note, QPoint(50, 50), key);
    }

    // The colour of the note around its text.
    static QColor Background(CNoteDlg* note) { return test::ColourAt(note, QPoint(90, 90)); }

    int RowsWithKey(int key) const
    {
        return test::ColumnValues(QStringLiteral("SELECT TKEY FROM MSGS WHERE TKEY=%1").arg(key))
            .size();
    }

private Q_SLOTS:

    void init()
    {
        test::UseFreshSqliteStore();
        Owner = std::make_unique<QWidget>();
        Exchange
            = std::make_unique<NoteExchange>(Owner.get(), test::TestStore(), QStringLiteral("ANN"));
    }

    void cleanup()
    {
        Exchange.reset();
        Owner.reset();
    }

    void nothingAddressedToTheUserOpensNothing()
    {
        Post(1, 1, QStringLiteral("for bob"), QStringLiteral("BOB"));
        QSignalSpy changed(Exchange.get(), &NoteExchange::NotesChanged);
        test::AlertRecorder alerts;
        Exchange->PollNotes();
        QCOMPARE(Exchange->OpenNotes(), 0);
        QCOMPARE(changed.count(), 0);
        QVERIFY(alerts.Alerts.isEmpty());
    }

    void notesOpenInTheLowestFreeSlotColouredByUrgency()
    {
        Post(1, 1, QStringLiteral("yellow"));
        Post(2, 2, QStringLiteral("green"));
        Post(3, 3, QStringLiteral("red"));
        Post(4, 7, QStringLiteral("odd urgency"));
        Exchange->PollNotes();
        QCOMPARE(Exchange->OpenNotes(), 4);

        const QColor expected[]
            = { QColor(255, 255, 0), QColor(0, 255, 0), QColor(255, 0, 0), QColor(255, 255, 0) };
        for (int key = 1; key <= 4; ++key) {
            CNoteDlg* note = NoteWithKey(key);
            QVERIFY(note && note->isVisible());
            QCOMPARE(note->Slot, key - 1);
            QCOMPARE(note->geometry(), QRect(10 * note->Slot + 50, 10 * note->Slot + 50, 100, 100));
            QCOMPARE(Background(note), expected[key - 1]);
            QCOMPARE(note->Label->palette().color(QPalette::WindowText), QColor(Qt::black));
        }
        QCOMPARE(NoteWithKey(3)->Text, QStringLiteral("red"));
    }

    void anOpenNoteIsNotOpenedAgain()
    {
        Post(5, 1, QStringLiteral("first text"));
        Exchange->PollNotes();
        CNoteDlg* note = NoteWithKey(5);
        QVERIFY(note);
        Choose(note, Qt::Key_H);

        // Were the note read again, the window would change or a second one would open.
        test::MustExec(QStringLiteral("UPDATE MSGS SET MSG='second text', URGENCY=3 WHERE TKEY=5"));
        Exchange->PollNotes();
        QCOMPARE(Exchange->OpenNotes(), 1);
        QCOMPARE(NoteWithKey(5), note);
        QCOMPARE(note->Text, QStringLiteral("first text"));
        QVERIFY(!note->isVisible());
    }

    void twoRowsWithOneKeyOpenOneWindow()
    {
        // An old data file without the unique index can hold a key twice.
        test::MustExec(QStringLiteral("DROP INDEX MSGS_TKEY"));
        Post(9, 2, QStringLiteral("one"));
        Post(9, 2, QStringLiteral("two"));
        Exchange->PollNotes();
        QCOMPARE(Exchange->OpenNotes(), 1);
    }

    void aVanishedRowGivesAnEmptyYellowNote()
    {
        // The poll reads the key as 77, yet no row answers to TKEY=77 when the note is read:
        // just as when another copy deletes the row in between.
        test::MustExec(QStringLiteral("INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,URGENCY) "
                                      "VALUES('gone','ANN','BOB',1,'77x',2)"));
        Exchange->PollNotes();
        CNoteDlg* note = NoteWithKey(77);
        QVERIFY(note);
        QCOMPARE(note->Text, QString());
        QCOMPARE(Background(note), QColor(255, 255, 0));
    }

    void aKeyThatIsNotANumberReadsAsZero()
    {
        test::MustExec(QStringLiteral("INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,URGENCY) "
                                      "VALUES('odd','ANN','BOB',1,'x1',2)"));
        Exchange->PollNotes();
        QCOMPARE(Exchange->OpenNotes(), 1);
        QVERIFY(NoteWithKey(0));
    }

    void aDeletedSlotIsTakenByTheNextNote()
    {
        Post(1, 1, QStringLiteral("a"));
        Post(2, 1, QStringLiteral("b"));
        Exchange->PollNotes();
        Choose(NoteWithKey(1), Qt::Key_D);
        Exchange->CarryOutDeletions();
        Post(3, 1, QStringLiteral("c"));
        Exchange->PollNotes();
        QCOMPARE(NoteWithKey(3)->Slot, 0);
        QCOMPARE(NoteWithKey(3)->pos(), QPoint(50, 50));
        QCOMPARE(NoteWithKey(2)->Slot, 1);
    }

    void deletionWaitsForTheTimerThenTakesWindowSlotAndRow()
    {
        Post(1, 1, QStringLiteral("a"));
        Post(2, 1, QStringLiteral("b"));
        Exchange->PollNotes();
        QPointer<CNoteDlg> first = NoteWithKey(1);
        QPointer<CNoteDlg> second = NoteWithKey(2);
        QSignalSpy requested(Exchange.get(), &NoteExchange::DeletionRequested);

        Choose(first, Qt::Key_D);
        Choose(second, Qt::Key_D); // within the same wait
        Choose(first, Qt::Key_D); // asked twice, deleted once
        QCOMPARE(requested.count(), 3);
        QVERIFY(first && first->isVisible() && second);
        QCOMPARE(RowsWithKey(1), 1);

        test::AlertRecorder alerts;
        Exchange->CarryOutDeletions();
        QVERIFY(!first && !second);
        QCOMPARE(Exchange->OpenNotes(), 0);
        QCOMPARE(RowsWithKey(1) + RowsWithKey(2), 0);
        QVERIFY(alerts.Alerts.isEmpty());
    }

    void aFailedDeleteClosesTheWindowAndTheNextPollReopensIt()
    {
        Post(4, 3, QStringLiteral("stubborn"));
        Exchange->PollNotes();
        test::MustExec(QStringLiteral("CREATE TRIGGER KEEP BEFORE DELETE ON MSGS "
                                      "BEGIN SELECT RAISE(ABORT, 'kept'); END"));
        Choose(NoteWithKey(4), Qt::Key_D);
        {
            test::AlertRecorder alerts;
            Exchange->CarryOutDeletions();
            QCOMPARE(alerts.Alerts.size(), 1);
            QVERIFY(alerts.Alerts[0].startsWith(
                QStringLiteral("DELETE FROM MSGS WHERE TKEY=4 [Error (")));
        }
        QCOMPARE(Exchange->OpenNotes(), 0);
        Exchange->PollNotes();
        QVERIFY(NoteWithKey(4));
    }

    void hideAllAndShowAllActOnEveryNote()
    {
        Post(1, 1, QStringLiteral("a"));
        Post(2, 2, QStringLiteral("b"));
        Exchange->PollNotes();
        Choose(NoteWithKey(2), Qt::Key_H); // hidden by itself: only Show All brings it back
        Exchange->SetAllNotesVisible(false);
        QVERIFY(!NoteWithKey(1)->isVisible() && !NoteWithKey(2)->isVisible());
        QCOMPARE(Exchange->OpenNotes(), 2);
        Exchange->SetAllNotesVisible(true);
        QVERIFY(NoteWithKey(1)->isVisible() && NoteWithKey(2)->isVisible());
        QCOMPARE(NoteWithKey(2)->pos(), QPoint(60, 60));
    }

    void aFullTableAlertsOncePerKeyAndPollsDoNotPileUp()
    {
        test::MustExec(QStringLiteral("BEGIN"));
        for (int key = 1; key <= 502; ++key)
            Post(key, 1, QString::number(key));
        test::MustExec(QStringLiteral("COMMIT"));

        test::AlertRecorder alerts;
        // While an alert is open the poll timer keeps firing; those polls must not start.
        SetAlertHandler([&](const QString& text) {
            alerts.Alerts.append(text);
            Exchange->PollNotes();
        });
        Exchange->PollNotes();
        QCOMPARE(Exchange->OpenNotes(), 500);
        QCOMPARE(alerts.Alerts.size(), 2);
        QCOMPARE(
            alerts.Alerts[0], QStringLiteral("Couldn't get all the vimo's - Please delete some"));

        Exchange->PollNotes(); // and again on every later poll
        QCOMPARE(alerts.Alerts.size(), 4);
    }
};

VIMO_TEST_MAIN(TestNoteExchange, QApplication)
#include "TestNoteExchange.moc"
