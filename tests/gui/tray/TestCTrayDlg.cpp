#include "TestEnvironment.h"
#include "TrayDriver.h"

#include "Forms.h"
#include "delivery/TrayLogic.h"
#include "dialogs/CComposeDlg.h"
#include "notes/CNoteDlg.h"
#include "store/Statements.h"
#include "tray/CTrayDlg.h"
#include "tray/FreeMemory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <thread>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace vimo;
using namespace vimo::test;

// The main window as the program runs it: start-up order, the tooltip, the menu, the timers
// and the end of the run, driven through its icon, its menu and its notes.
class TestCTrayDlg : public QObject {
    Q_OBJECT

    static void Post(int key, int urgency = 1)
    {
        MustExec(PostStatement(QStringLiteral("note %1").arg(key), QStringLiteral("ANN"),
            QStringLiteral("BOB"), QStringLiteral("20261207"), key, QChar(u'0' + urgency)));
    }

    static QString Tip(CTrayDlg& tray) { return TrayIcon(tray)->toolTip(); }

private Q_SLOTS:
    void init() { UseFreshSqliteStore(); }

    void waitingNotesOpenBeforeTheIconWhoseFirstTipCountsThem()
    {
        Post(1);
        Post(2, 3);
        CTrayDlg tray(TestWorker(), QStringLiteral("ANN"));
        RunTray(tray, [&] {
            QCOMPARE(OpenNotes(tray).size(), 2);
            // offscreen: no tray to show it in, runs on all the same
            QVERIFY(TrayIcon(tray)->isVisible());
            QCOMPARE(Tip(tray), QStringLiteral("2 Vimos Active"));
            QVERIFY(TrayTimer(tray, "PollTimer")->isActive());
            QVERIFY(!tray.isVisible());
        });
    }

    void theTipCountsOpenNotesHiddenOnesToo()
    {
        CTrayDlg tray(TestWorker(), QStringLiteral("ANN"));
        RunTray(tray, [&] {
            QCOMPARE(Tip(tray), QStringLiteral("0 Vimos Active"));

            Post(1);
            Fire(TrayTimer(tray, "PollTimer"));
            QCOMPARE(Tip(tray), QStringLiteral("1 Vimo Active"));

            Post(2);
            Fire(TrayTimer(tray, "PollTimer"));
            ChooseFromContextMenu(OpenNotes(tray)[0], QPoint(50, 50), Qt::Key_H);
            ChooseFromTrayMenu(tray, Qt::Key_H);
            QCOMPARE(Tip(tray), QStringLiteral("2 Vimos Active"));
            ChooseFromTrayMenu(tray, Qt::Key_S);
            QCOMPARE(Tip(tray), QStringLiteral("2 Vimos Active"));
            QVERIFY(OpenNotes(tray)[0]->isVisible());

            QTimer* deletion = TrayTimer(tray, "DeleteTimer");
            ChooseFromContextMenu(OpenNotes(tray)[1], QPoint(50, 50), Qt::Key_D);
            QVERIFY(deletion->isActive());
            QCOMPARE(Tip(tray), QStringLiteral("2 Vimos Active"));
            Fire(deletion);
            QVERIFY(!deletion->isActive());
            QCOMPARE(Tip(tray), QStringLiteral("1 Vimo Active"));
            QCOMPARE(tray.windowTitle(), Tip(tray));
            QCOMPARE(FirstValue(QStringLiteral("SELECT COUNT(*) FROM MSGS")), QStringLiteral("1"));
        });
    }

    void pollSoonPollsAtOnceButOnlyWhileTheRunLasts()
    {
        Post(1);
        CTrayDlg tray(TestWorker(), QStringLiteral("ANN"));
        tray.PollSoon();
        QVERIFY(OpenNotes(tray).isEmpty());
        RunTray(tray, [&] {
            Post(2);
            tray.PollSoon();
            QVERIFY(Settled());
            QCOMPARE(OpenNotes(tray).size(), 2);
            QVERIFY(TrayTimer(tray, "PollTimer")->isActive());
        });
        tray.PollSoon();
        QVERIFY(OpenNotes(tray).isEmpty());
    }

    void aDeletionHappensHalfASecondAfterTheLastRequestNeverSooner()
    {
        Post(1);
        CTrayDlg tray(TestWorker(), QStringLiteral("ANN"));
        RunTray(tray, [&] {
            QPointer<CNoteDlg> note = OpenNotes(tray).value(0);
            QElapsedTimer clock;
            connect(note, &CNoteDlg::DeleteRequested, this, [&clock] { clock.start(); });
            ChooseFromContextMenu(note, QPoint(50, 50), Qt::Key_D);
            QVERIFY(note);
            QTRY_VERIFY_WITH_TIMEOUT(!note, 5000); // the real timer this time
            // A coarse timer may fire up to 5 % early; the note stays its full time.
            QCOMPARE_GE(clock.nsecsElapsed(), CTrayDlg::DeleteDelayMs * 1000000LL);
            QCOMPARE(Tip(tray), QStringLiteral("0 Vimos Active"));
        });
    }

    void theLeftButtonOpensTheMenuTheRightDoesNothing()
    {
        CTrayDlg tray(TestWorker(), QStringLiteral("ANN"));
        RunTray(tray, [&] {
            QSystemTrayIcon* icon = TrayIcon(tray);
            const QStringList items { QStringLiteral("&Hide All Vimos"),
                QStringLiteral("&Show All Vimos"), QStringLiteral("&New Vimo"),
                QStringLiteral("Sen&t Vimos"), QStringLiteral("&Groups..."),
                QStringLiteral("&Deleted Vimos"), QStringLiteral("-"), QStringLiteral("&Quit") };
            QCOMPARE(
                MenuOpenedBy([&] { Q_EMIT icon->activated(QSystemTrayIcon::Trigger); }), items);
            // Dismissed: nothing was carried out.
            QVERIFY(!TrayTimer(tray, "QuitTimer")->isActive());
            // A click soon after the one that opened the menu comes as a double-click alone.
            QCOMPARE(
                MenuOpenedBy([&] { Q_EMIT icon->activated(QSystemTrayIcon::DoubleClick); }), items);

            for (const auto reason : { QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick })
                QVERIFY(MenuOpenedBy([&] { Q_EMIT icon->activated(reason); }).isEmpty());

            // A press while the menu is open opens no second one (closed at once if it does).
            bool second = false;
            QTimer::singleShot(20, &tray, [&] {
                QWidget* first = QApplication::activePopupWidget();
                QTimer::singleShot(0, &tray, [&second, first] {
                    if (QWidget* popup = QApplication::activePopupWidget(); popup != first) {
                        second = true;
                        popup->close();
                    }
                });
                Q_EMIT icon->activated(QSystemTrayIcon::DoubleClick);
            });
            QCOMPARE(
                MenuOpenedBy([&] { Q_EMIT icon->activated(QSystemTrayIcon::Trigger); }), items);
            QVERIFY(!second);
        });
    }

    void quitWhileANoteIsBeingWrittenWaitsForTheNote()
    {
        MustExec(AddUserStatement(QStringLiteral("BOB")));
        CTrayDlg tray(TestWorker(), QStringLiteral("ANN"));
        bool stillRunning = false;
        WhenModal<CComposeDlg>([&](CComposeDlg* dialog) {
            ComposeForm compose(dialog);
            QTest::keyClicks(compose.Recipient, QStringLiteral("bob"));
            QTest::keyClicks(compose.Text, QStringLiteral("half written"));
            // The tray stays at hand while a note is written; its Quit must not throw the
            // note away.
            Quit(tray);
            stillRunning = dialog->isVisible();
            QTest::keyClicks(compose.Text, QStringLiteral(", now done"));
            compose.Send->click();
        });
        QTimer::singleShot(0, &tray, [&] { ChooseFromTrayMenu(tray, Qt::Key_N); });
        QCOMPARE(tray.exec(), int(QDialog::Accepted));
        QVERIFY(stillRunning);
        QCOMPARE(FirstValue(QStringLiteral("SELECT MSG FROM MSGS")),
            QStringLiteral("half written, now done"));
    }

    void quitEndsTheRunAfterItsTimerAndKeepsTheNotes()
    {
        // The real timer, never sooner than its second.
        {
            CTrayDlg tray(TestWorker(), QStringLiteral("ANN"));
            QElapsedTimer clock;
            QTimer::singleShot(0, &tray, [&] {
                ChooseFromTrayMenu(tray, Qt::Key_Q);
                clock.start();
            });
            QCOMPARE(tray.exec(), int(QDialog::Accepted));
            QCOMPARE_GE(clock.nsecsElapsed(), CTrayDlg::QuitDelayMs * 1000000LL);
        }

        Post(1);
        Post(2, 2);
        {
            CTrayDlg tray(TestWorker(), QStringLiteral("ANN"));
            QPointer<CNoteDlg> note;
            QTimer::singleShot(0, &tray, [&] {
                note = OpenNotes(tray).value(0);
                QTimer* quit = TrayTimer(tray, "QuitTimer");
                ChooseFromTrayMenu(tray, Qt::Key_Q);
                QVERIFY(quit->isActive());
                QTest::qWait(300);
                ChooseFromTrayMenu(tray, Qt::Key_Q); // a second Quit starts the wait again
                QVERIFY(quit->isActive());
                Fire(quit);
            });
            QCOMPARE(tray.exec(), int(QDialog::Accepted));
            QVERIFY(!note); // every note window went with the run
            QVERIFY(!TrayIcon(tray)->isVisible());
            QVERIFY(!TrayTimer(tray, "PollTimer")->isActive());
        }
        QCOMPARE(FirstValue(QStringLiteral("SELECT COUNT(*) FROM MSGS")), QStringLiteral("2"));

        CTrayDlg again(TestWorker(), QStringLiteral("ANN"));
        RunTray(again, [&] { QCOMPARE(OpenNotes(again).size(), 2); });
    }

    void theTrayShowsAnOutageFromItsFirstFailedPollUntilTheStoreIsBack()
    {
        Post(1);
        CTrayDlg tray(TestWorker(), QStringLiteral("ANN"));
        RunTray(tray, [&] {
            QSystemTrayIcon* icon = TrayIcon(tray);
            const qint64 usual = icon->icon().cacheKey();
            const QString file = DataSourceValue("Database");
            QVERIFY(QFile::rename(file, file + QStringLiteral(".away")));

            AlertRecorder alerts;
            const QDateTime failed = QDateTime::currentDateTime();
            Fire(TrayTimer(tray, "PollTimer"));
            const QString tip = Tip(tray);
            QVERIFY2(
                tip == OutageTipText(failed) || tip == OutageTipText(QDateTime::currentDateTime()),
                qPrintable(tip));
            QCOMPARE(tray.windowTitle(), tip); // where the desktop's tools read it
            QVERIFY(icon->icon().cacheKey() != usual);
            QCOMPARE(OpenNotes(tray).size(), 1);

            Fire(TrayTimer(tray, "PollTimer"));
            QCOMPARE(Tip(tray), tip); // the same outage, the same words
            QCOMPARE(alerts.Alerts, QStringList()); // and no box for a poll

            QVERIFY(QFile::rename(file + QStringLiteral(".away"), file));
            Post(2);
            Fire(TrayTimer(tray, "PollTimer"));
            QCOMPARE(Tip(tray), QStringLiteral("2 Vimos Active"));
            QCOMPARE(icon->icon().cacheKey(), usual);
        });
    }

    // A thread started after the program chose one heap allocates from it, not from a heap
    // of its own that glibc lists beside it.
    void threadsAllocateFromTheOneHeap()
    {
#ifdef __GLIBC__
        const auto heaps = [] {
            char* text = nullptr;
            size_t size = 0;
            FILE* out = open_memstream(&text, &size);
            malloc_info(0, out);
            std::fclose(out);
            const auto count = QByteArray(text, static_cast<qsizetype>(size)).count("<heap nr=");
            std::free(text);
            return count;
        };
        UseOneHeap();
        const auto before = heaps();
        std::thread([] { QVERIFY(!QByteArray(4096, 'x').isEmpty()); }).join();
        QCOMPARE(heaps(), before);
#endif
    }
};

VIMO_TEST_MAIN(TestCTrayDlg, QApplication)
#include "TestCTrayDlg.moc"
