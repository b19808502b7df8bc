#include "TestEnvironment.h"
#include "TestWidgets.h"

#include "notes/CNoteDlg.h"
#include "notes/NoteWindows.h"
#include "prompts/Notifications.h"
#include "store/Statements.h"
#include "widgets/CColorLabel.h"

#include <QFile>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>
#include <span>

#include <xcb/xcb.h>

using namespace vimo;
using namespace std::chrono_literals;

// Polling, delivery and deletion against a real store: what opens where, in which colour,
// and what happens to the window, the slot and the row.
class TestNoteWindows : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> Owner;
    std::unique_ptr<NoteWindows> Windows;

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
            if (note->Row().Key == key)
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

    // A poll, or the deletions, and what the store answers.
    void Poll()
    {
        Windows->Inbox().PollNotes();
        QVERIFY(test::Settled());
    }
    void CarryOut()
    {
        Windows->Inbox().CarryOutDeletions();
        QVERIFY(test::Settled());
    }

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
        Windows
            = std::make_unique<NoteWindows>(Owner.get(), test::TestWorker(), QStringLiteral("ANN"));
    }

    void cleanup()
    {
        Windows.reset();
        Owner.reset();
    }

    void nothingAddressedToTheUserOpensNothing()
    {
        Post(1, 1, QStringLiteral("for bob"), QStringLiteral("BOB"));
        QSignalSpy changed(&Windows->Inbox(), &NoteInbox::NotesChanged);
        test::AlertRecorder alerts;
        Poll();
        QCOMPARE(Windows->Inbox().OpenNotes(), 0);
        QCOMPARE(changed.count(), 0);
        QVERIFY(alerts.Alerts.isEmpty());
    }

    void notesOpenInTheLowestFreeSlotColouredByUrgency()
    {
        Post(1, 1, QStringLiteral("yellow"));
        Post(2, 2, QStringLiteral("green"));
        Post(3, 3, QStringLiteral("red"));
        Post(4, 7, QStringLiteral("odd urgency"));
        Poll();
        QCOMPARE(Windows->Inbox().OpenNotes(), 4);

        const QColor expected[]
            = { QColor(255, 255, 0), QColor(0, 255, 0), QColor(255, 0, 0), QColor(255, 255, 0) };
        for (int key = 1; key <= 4; ++key) {
            CNoteDlg* note = NoteWithKey(key);
            QVERIFY(note && note->isVisible());
            QCOMPARE(note->geometry(), QRect(10 * key + 40, 10 * key + 40, 100, 100));
            QCOMPARE(Background(note), expected[key - 1]);
            const QWidget* label = note->findChild<QWidget*>(QStringLiteral("Label"));
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));
        }
        QCOMPARE(NoteWithKey(3)->Row().Text, QStringLiteral("red"));
    }

    void notesOfABigPollShowOverTheNextTurnsAndHideAllKeepsThemHidden()
    {
        test::MustExec(QStringLiteral("BEGIN"));
        for (int key = 1; key <= 45; ++key)
            Post(key, 1, QString::number(key));
        test::MustExec(QStringLiteral("COMMIT"));
        Poll();
        QCOMPARE(Windows->Inbox().OpenNotes(), 45);
        const auto notes = Owner->findChildren<CNoteDlg*>();
        QTRY_VERIFY(
            std::all_of(notes.begin(), notes.end(), [](auto* n) { return n->isVisible(); }));
        for (int key = 1; key <= 45; ++key)
            QCOMPARE(NoteWithKey(key)->pos(), QPoint(10 * key + 40, 10 * key + 40));

        // Hidden while some still wait for their turn: none shows by itself afterwards.
        Windows->Inbox().CloseAllNotes();
        Poll();
        Windows->SetAllNotesVisible(false);
        QTest::qWait(100);
        for (CNoteDlg* note : Owner->findChildren<CNoteDlg*>())
            QVERIFY(!note->isVisible());
    }

    void anOpenNoteIsNotOpenedAgain()
    {
        Post(5, 1, QStringLiteral("first text"));
        Poll();
        CNoteDlg* note = NoteWithKey(5);
        QVERIFY(note);
        Choose(note, Qt::Key_H);

        QSignalSpy changed(&Windows->Inbox(), &NoteInbox::NotesChanged);
        Poll();
        QCOMPARE(Windows->Inbox().OpenNotes(), 1);
        QCOMPARE(NoteWithKey(5), note);
        QVERIFY(!note->isVisible());
        QCOMPARE(changed.count(), 0);
    }

    void aKeyThatNowHoldsAnotherNoteReplacesTheStaleWindow()
    {
        // The same user on another workstation deleted note 5, and the next note took its key.
        Post(5, 1, QStringLiteral("read elsewhere"));
        Post(6, 1, QStringLiteral("gone elsewhere"));
        Poll();
        QPointer<CNoteDlg> stale = NoteWithKey(5);
        test::MustExec(QStringLiteral("DELETE FROM MSGS"));
        Post(5, 3, QStringLiteral("new note"));

        // The user asks to delete the stale note just before the poll replaces it.
        Choose(stale, Qt::Key_D);
        Poll();
        QVERIFY(!stale);
        CNoteDlg* fresh = NoteWithKey(5);
        QVERIFY(fresh && fresh->isVisible());
        QCOMPARE(fresh->Row().Text, QStringLiteral("new note"));
        QCOMPARE(Background(fresh), QColor(255, 0, 0));
        test::AlertRecorder alerts;
        CarryOut();
        QCOMPARE(RowsWithKey(5), 1); // the deletion was the old note's, not this one's
        QCOMPARE(alerts.Alerts, QStringList());

        // A note whose row went without a successor stays; deleting it deletes nothing else.
        Choose(NoteWithKey(6), Qt::Key_D);
        CarryOut();
        QCOMPARE(alerts.Alerts,
            QStringList { QStringLiteral("This note had already been deleted from the store.") });
        QCOMPARE(RowsWithKey(5), 1);
        QCOMPARE(Windows->Inbox().OpenNotes(), 1);
    }

    void twoRowsWithOneKeyOpenOneWindowAndGoOneByOne()
    {
        // An old data file without the unique index can hold a key twice.
        test::MustExec(QStringLiteral("DROP INDEX MSGS_TKEY"));
        Post(9, 2, QStringLiteral("one"));
        Post(9, 2, QStringLiteral("two"));
        Poll();
        QCOMPARE(Windows->Inbox().OpenNotes(), 1);
        Poll(); // the window stays: it shows one of the key's rows
        QCOMPARE(NoteWithKey(9)->Row().Text, QStringLiteral("one"));

        Choose(NoteWithKey(9), Qt::Key_D);
        CarryOut();
        QCOMPARE(test::ColumnValues(QStringLiteral("SELECT MSG FROM MSGS")),
            QStringList { QStringLiteral("two") });
        Poll();
        QCOMPARE(NoteWithKey(9)->Row().Text, QStringLiteral("two"));
    }

    void aDeletedSlotIsTakenByTheNextNote()
    {
        Post(1, 1, QStringLiteral("a"));
        Post(2, 1, QStringLiteral("b"));
        Poll();
        Choose(NoteWithKey(1), Qt::Key_D);
        CarryOut();
        Post(3, 1, QStringLiteral("c"));
        Poll();
        QCOMPARE(NoteWithKey(3)->pos(), QPoint(50, 50));
        QCOMPARE(NoteWithKey(2)->pos(), QPoint(60, 60));
    }

    void deletionWaitsForTheTimerThenTakesWindowSlotAndRow()
    {
        Post(1, 1, QStringLiteral("a"));
        Post(2, 1, QStringLiteral("b"));
        Poll();
        QPointer<CNoteDlg> first = NoteWithKey(1);
        QPointer<CNoteDlg> second = NoteWithKey(2);
        QSignalSpy requested(&Windows->Inbox(), &NoteInbox::DeletionRequested);

        Choose(first, Qt::Key_D);
        Choose(second, Qt::Key_D); // within the same wait
        Choose(first, Qt::Key_D); // asked twice, deleted once
        QCOMPARE(requested.count(), 3);
        QVERIFY(first && first->isVisible() && second);
        QCOMPARE(RowsWithKey(1), 1);

        test::AlertRecorder alerts;
        CarryOut();
        QVERIFY(!first && !second);
        QCOMPARE(Windows->Inbox().OpenNotes(), 0);
        QCOMPARE(RowsWithKey(1) + RowsWithKey(2), 0);
        QVERIFY(alerts.Alerts.isEmpty());
    }

    void aFailedDeleteClosesTheWindowAndTheNextPollReopensIt()
    {
        Post(4, 3, QStringLiteral("stubborn"));
        Poll();
        test::MustExec(QStringLiteral("CREATE TRIGGER KEEP BEFORE DELETE ON MSGS "
                                      "BEGIN SELECT RAISE(ABORT, 'kept'); END"));
        Choose(NoteWithKey(4), Qt::Key_D);
        {
            test::AlertRecorder alerts;
            CarryOut();
            QCOMPARE(alerts.Alerts.size(), 1);
            // The statement as sent: its values went bound beside it.
            QVERIFY(alerts.Alerts[0].startsWith(
                QStringLiteral("DELETE FROM MSGS WHERE TKEY=? AND RECIPIENT=? AND SENDER=? AND ")));
        }
        QCOMPARE(Windows->Inbox().OpenNotes(), 0);
        Poll();
        QVERIFY(NoteWithKey(4));
    }

    void hideAllAndShowAllActOnEveryNote()
    {
        Post(1, 1, QStringLiteral("a"));
        Post(2, 2, QStringLiteral("b"));
        Poll();
        Choose(NoteWithKey(2), Qt::Key_H); // hidden by itself: only Show All brings it back
        Windows->SetAllNotesVisible(false);
        QVERIFY(!NoteWithKey(1)->isVisible() && !NoteWithKey(2)->isVisible());
        QCOMPARE(Windows->Inbox().OpenNotes(), 2);
        Windows->SetAllNotesVisible(true);
        QVERIFY(NoteWithKey(1)->isVisible() && NoteWithKey(2)->isVisible());
        QCOMPARE(NoteWithKey(2)->pos(), QPoint(60, 60));
    }

    void aFullTableAlertsOnceAfterThePollUntilTheWaitingNotesChange()
    {
        test::MustExec(QStringLiteral("BEGIN"));
        for (int key = 1; key <= 502; ++key)
            Post(key, 1, QString::number(key));
        test::MustExec(QStringLiteral("COMMIT"));

        test::AlertRecorder alerts;
        int openWhenTold = -1;
        const AlertHandler recorder = SetAlertHandler([&](const QString& text) {
            openWhenTold = Windows->Inbox().OpenNotes();
            alerts.Alerts.append(text);
        });
        Poll();
        QCOMPARE(Windows->Inbox().OpenNotes(), 500);
        // After the poll, not inside it: the first poll comes before the tray icon, and
        // sign-in must not wait on a box.
        QTRY_COMPARE(alerts.Alerts.size(), 1);
        QCOMPARE(openWhenTold, 500);
        SetAlertHandler(recorder);
        QCOMPARE(
            alerts.Alerts[0], QStringLiteral("Couldn't get all the vimo's - Please delete some"));

        Poll(); // the same two wait: no second box
        QCoreApplication::processEvents();
        QCOMPARE(alerts.Alerts.size(), 1);
        Post(503, 1, QStringLiteral("503"));
        Poll();
        QTRY_COMPARE(alerts.Alerts.size(), 2);
    }

    void aStoreOutOfReachKeepsItsDeletionsAndComesBackWithoutARestart()
    {
        Post(1, 1, QStringLiteral("to delete"));
        Post(2, 1, QStringLiteral("to keep"));
        Poll();
        QSignalSpy reach(&Windows->Inbox(), &NoteInbox::ReachabilityChanged);
        const QString file = test::DataSourceValue("Database");
        const QString away = file + QStringLiteral(".away");
        QVERIFY(QFile::rename(file, away)); // the share went

        test::AlertRecorder alerts;
        Choose(NoteWithKey(1), Qt::Key_D);
        CarryOut();
        QCOMPARE(Windows->Inbox().OpenNotes(), 1); // the window goes after its wait as always
        QCOMPARE(alerts.Alerts.size(), 1);
        QVERIFY2(alerts.Alerts[0].contains(QStringLiteral("cannot be reached")),
            qPrintable(alerts.Alerts[0]));

        for (int poll = 0; poll < 3; ++poll)
            Poll();
        QCOMPARE(reach.count(), 1);
        QVERIFY(Windows->Inbox().Reachability().IsOut());
        QCOMPARE(Windows->Inbox().OpenNotes(), 1); // a failed poll closes nothing
        QCOMPARE(alerts.Alerts.size(), 1); // polls tell nothing; the tray does

        QVERIFY(QFile::rename(away, file));
        Post(3, 2, QStringLiteral("waited"));
        Poll();
        QCOMPARE(reach.count(), 2);
        QVERIFY(!Windows->Inbox().Reachability().IsOut());
        QCOMPARE(RowsWithKey(1), 0); // carried out when the store came back
        QVERIFY(!NoteWithKey(1)); // and never shown again meanwhile
        QVERIFY(NoteWithKey(3));
        QCOMPARE(Windows->Inbox().OpenNotes(), 2);
        QCOMPARE(alerts.Alerts.size(), 1);
    }

    void aStoreThatDoesNotAnswerSkipsTicksAndReopensNothingDeletedMeanwhile()
    {
        Post(1, 1, QStringLiteral("to delete"));
        Poll();
        QSignalSpy reach(&Windows->Inbox(), &NoteInbox::ReachabilityChanged);
        test::AlertRecorder alerts;

        // The store hangs: the worker is held until the gate opens.
        Windows->Inbox().UnansweredPollMs = 0;
        QSemaphore gate;
        test::TestWorker().Post([&gate](Store&) { gate.acquire(); });
        Windows->Inbox().PollNotes(); // reads note 1 once the store answers
        Choose(NoteWithKey(1), Qt::Key_D);
        Windows->Inbox().CarryOutDeletions(); // behind that read
        QCOMPARE(Windows->Inbox().OpenNotes(), 0);
        Windows->Inbox().PollNotes(); // a tick with the poll still out: skipped, the store is out
        QCOMPARE(reach.count(), 1);
        QVERIFY(Windows->Inbox().Reachability().IsOut());

        gate.release();
        QVERIFY(test::Settled());
        QCOMPARE(reach.count(), 2); // the late answer ends the outage
        QVERIFY(!NoteWithKey(1)); // read before its deletion ran, yet not opened again
        QCOMPARE(RowsWithKey(1), 0);
        Post(2, 1, QStringLiteral("new"));
        Poll(); // the next tick polls again
        QVERIFY(NoteWithKey(2));
        QCOMPARE(Windows->Inbox().OpenNotes(), 1);
        QVERIFY(alerts.Alerts.isEmpty());
    }

    void aPollNotifiesOnceAndRaisesRedNotesUntilTouched()
    {
        QList<NoteNotification> notified;
        const NotificationHandler previous
            = SetNotificationHandler([&](const NoteNotification& n) { notified.append(n); });
        const auto restore = qScopeGuard([&] { SetNotificationHandler(previous); });
        Windows = std::make_unique<NoteWindows>(
            Owner.get(), test::TestWorker(), QStringLiteral("ANN"), 100ms);
        QSignalSpy waits(Windows.get(), &NoteWindows::UrgentNoteWaitsChanged);

        Post(1, 3, QStringLiteral("fire drill"));
        test::MustExec(PostStatement(QStringLiteral("lunch"), QStringLiteral("ANN"),
            QStringLiteral("CAROL"), QStringLiteral("20261207"), 2, u'1'));
        Poll();
        Poll(); // nothing new: nothing more to tell
        QCOMPARE(notified.size(), 1);
        QCOMPARE(notified[0].Text, QStringLiteral("2 new Vimos from BOB, CAROL"));
        QVERIFY(notified[0].Critical);
        QCOMPARE(
            test::TipText(NoteWithKey(1)->toolTip()), QStringLiteral("From BOB, Mon 7 Dec 2026"));
        QVERIFY(Windows->UrgentNoteWaits());

        // Covered by whatever the user did since, the red note comes back by itself; the
        // yellow one does not.
        NoteWithKey(1)->hide();
        NoteWithKey(2)->hide();
        QTRY_VERIFY(NoteWithKey(1)->isVisible());
        QVERIFY(!NoteWithKey(2)->isVisible());

        // A click is a touch: it stays where the user put it.
        QTest::mouseClick(NoteWithKey(1), Qt::LeftButton, {}, QPoint(50, 50));
        QVERIFY(!Windows->UrgentNoteWaits());
        QCOMPARE(waits.count(), 2);
        NoteWithKey(1)->hide();
        QTest::qWait(300);
        QVERIFY(!NoteWithKey(1)->isVisible());

        // Hide All touches every note.
        Post(3, 3, QStringLiteral("second fire"));
        Poll();
        QCOMPARE(notified.size(), 2);
        QCOMPARE(notified[1].Text, QStringLiteral("1 new Vimo from BOB"));
        QVERIFY(Windows->UrgentNoteWaits());
        Windows->SetAllNotesVisible(false);
        QVERIFY(!Windows->UrgentNoteWaits());
    }

    // On a real X server, with nobody touching anything: the watch's timer is all that runs.
    void anUntouchedRedNoteComesToTheFrontOnTime()
    {
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("needs an X server");
        Windows = std::make_unique<NoteWindows>(
            Owner.get(), test::TestWorker(), QStringLiteral("ANN"), 1s);
        Post(1, 3, QStringLiteral("fire drill"));
        Poll();
        QWidget cover; // over the note; no event runs that could let the note's timer in
        cover.show();
        QGuiApplication::sync();
        // What the X server stacks, bottom to top, asked on a connection of its own.
        xcb_connection_t* x = xcb_connect(nullptr, nullptr);
        const auto noteOnTop = [x, note = NoteWithKey(1)->winId(), over = cover.winId()] {
            const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
            const std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(
                xcb_query_tree_reply(x, xcb_query_tree(x, root), nullptr), &free);
            const std::span windows(
                xcb_query_tree_children(tree.get()), xcb_query_tree_children_length(tree.get()));
            return std::ranges::find(windows, note) > std::ranges::find(windows, over);
        };
        QVERIFY(!noteOnTop());
        QTRY_VERIFY_WITH_TIMEOUT(noteOnTop(), 2500);
        xcb_disconnect(x);
    }
};

VIMO_TEST_MAIN(TestNoteWindows, QApplication)
#include "TestNoteWindows.moc"
