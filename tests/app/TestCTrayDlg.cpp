#include "TestEnvironment.h"

#include "app/CTrayDlg.h"
#include "dialogs/CComposeDlg.h"
#include "dialogs/DialogColours.h"
#include "exchange/Session.h"
#include "notes/CNoteDlg.h"
#include "store/SqlHelpers.h"
#include "store/Statements.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace vimo;

// The main window as the program runs it: start-up order, the tooltip, the menu, the timers
// and the end of the run. The timers are driven directly.
class TestCTrayDlg : public QObject {
    Q_OBJECT

    static void Post(int key, int urgency = 1)
    {
        test::MustExec(PostStatement(QStringLiteral("note %1").arg(key), QStringLiteral("ANN"),
                                     QStringLiteral("BOB"), QStringLiteral("20261207"), key,
                                     QChar(u'0' + urgency)));
    }

    // The texts of the popup menu that opens within `action`, closed again unchosen; empty
    // when no menu opened.
    static QStringList MenuOpenedBy(const std::function<void()>& action)
    {
        QStringList texts;
        QTimer::singleShot(50, [&texts] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (const QAction* item : menu->actions())
                    texts << (item->isSeparator() ? QStringLiteral("-") : item->text());
                menu->close();
            }
        });
        action();
        QTest::qWait(100);
        return texts;
    }

private Q_SLOTS:
    void initTestCase() { ApplyDialogColours(); }

    void init()
    {
        test::UseFreshSqliteStore();
        SetCurrentUser(QStringLiteral("ANN"));
    }

    void waitingNotesOpenBeforeTheIconWhoseFirstTipCountsThem()
    {
        Post(1);
        Post(2, 3);
        CTrayDlg tray;
        int openWhenShown = -1;
        QString firstTip;
        connect(&tray, &CTrayDlg::TrayIconShown, this, [&](const QString& tip) {
            openWhenShown = tray.Exchange.OpenNotes();
            firstTip = tip;
        });
        tray.OnInitDialog();
        QCOMPARE(openWhenShown, 2);
        QCOMPARE(firstTip, QStringLiteral("2 Vimos Active"));
        QVERIFY(tray.TrayIcon().isVisible()); // offscreen: no tray to show it in, runs on all the same
        QVERIFY(tray.IsTimerActive(CTrayDlg::TIMER_POLL));
        QVERIFY(!tray.isVisible());
    }

    void theTipCountsOpenNotesHiddenOnesToo()
    {
        CTrayDlg tray;
        tray.OnInitDialog();
        QCOMPARE(tray.TrayIcon().toolTip(), QStringLiteral("0 Vimos Active"));

        Post(1);
        tray.OnTimer(CTrayDlg::TIMER_POLL);
        QCOMPARE(tray.TrayIcon().toolTip(), QStringLiteral("1 Vimo Active"));

        Post(2);
        tray.OnTimer(CTrayDlg::TIMER_POLL);
        tray.Exchange.Notes().At(0)->HideNote();
        tray.OnMenuCommand(CTrayDlg::HideAllCommand);
        QCOMPARE(tray.TrayIcon().toolTip(), QStringLiteral("2 Vimos Active"));
        tray.OnMenuCommand(CTrayDlg::ShowAllCommand);
        QCOMPARE(tray.TrayIcon().toolTip(), QStringLiteral("2 Vimos Active"));
        QVERIFY(tray.Exchange.Notes().At(0)->isVisible());

        tray.Exchange.Notes().At(1)->RequestDelete();
        QVERIFY(tray.IsTimerActive(CTrayDlg::TIMER_DELETE));
        QCOMPARE(tray.TrayIcon().toolTip(), QStringLiteral("2 Vimos Active"));
        tray.OnTimer(CTrayDlg::TIMER_DELETE);
        QVERIFY(!tray.IsTimerActive(CTrayDlg::TIMER_DELETE));
        QCOMPARE(tray.TrayIcon().toolTip(), QStringLiteral("1 Vimo Active"));
        QCOMPARE(tray.windowTitle(), tray.TrayIcon().toolTip());
        QCOMPARE(QueryFirstValue(QStringLiteral("SELECT COUNT(*) FROM MSGS")), QStringLiteral("1"));
    }

    void aDeletionHappensHalfASecondAfterTheLastRequestNeverSooner()
    {
        Post(1);
        CTrayDlg tray;
        tray.OnInitDialog();
        QPointer<CNoteDlg> note = tray.Exchange.Notes().At(0);
        QElapsedTimer clock;
        clock.start();
        note->RequestDelete();
        QVERIFY(note);
        QTRY_VERIFY_WITH_TIMEOUT(!note, 5000); // the real timer this time
        // A coarse timer may fire up to 5 % early; the note stays its full time.
        QCOMPARE_GE(clock.nsecsElapsed(), CTrayDlg::DeleteDelayMs * 1000000LL);
        QCOMPARE(tray.TrayIcon().toolTip(), QStringLiteral("0 Vimos Active"));
    }

    void theLeftButtonOpensTheMenuTheRightDoesNothing()
    {
        CTrayDlg tray;
        tray.OnInitDialog();
        const QStringList items { QStringLiteral("&Hide All Vimos"),
            QStringLiteral("&Show All Vimos"), QStringLiteral("&New Vimo"), QStringLiteral("-"),
            QStringLiteral("&Quit") };
        QCOMPARE(MenuOpenedBy([&] { tray.OnTrayNotify(QSystemTrayIcon::Trigger); }), items);
        // Dismissed: nothing was carried out.
        QVERIFY(!tray.IsTimerActive(CTrayDlg::TIMER_QUIT));
        // A click soon after the one that opened the menu comes as a double-click alone.
        QCOMPARE(MenuOpenedBy([&] { tray.OnTrayNotify(QSystemTrayIcon::DoubleClick); }), items);

        for (const auto reason : { QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick })
            QVERIFY(MenuOpenedBy([&] { tray.OnTrayNotify(reason); }).isEmpty());

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
            tray.OnTrayNotify(QSystemTrayIcon::DoubleClick);
        });
        QCOMPARE(MenuOpenedBy([&] { tray.OnTrayNotify(QSystemTrayIcon::Trigger); }), items);
        QVERIFY(!second);
    }

    void quitWhileANoteIsBeingWrittenEndsTheRunAndPostsNothing()
    {
        CTrayDlg tray;
        bool composeOpened = false;
        QTimer::singleShot(0, &tray, [&] {
            QTimer::singleShot(50, &tray, [&] {
                for (QWidget* window : QApplication::topLevelWidgets())
                    composeOpened |= qobject_cast<CComposeDlg*>(window) && window->isVisible();
                tray.OnTimer(CTrayDlg::TIMER_QUIT);
            });
            tray.OnMenuCommand(CTrayDlg::NewCommand); // runs the compose dialog until it ends
        });
        QCOMPARE(tray.exec(), int(QDialog::Accepted));
        QVERIFY(composeOpened);
        QCOMPARE(QueryFirstValue(QStringLiteral("SELECT COUNT(*) FROM MSGS")), QStringLiteral("0"));
    }

    void quitEndsTheRunAfterItsTimerAndKeepsTheNotes()
    {
        // The real timer, never sooner than its second.
        {
            CTrayDlg tray;
            QElapsedTimer clock;
            QTimer::singleShot(0, &tray, [&] {
                clock.start();
                tray.OnMenuCommand(CTrayDlg::QuitCommand);
            });
            QCOMPARE(tray.exec(), int(QDialog::Accepted));
            QCOMPARE_GE(clock.nsecsElapsed(), CTrayDlg::QuitDelayMs * 1000000LL);
        }

        Post(1);
        Post(2, 2);
        {
            CTrayDlg tray;
            QPointer<CNoteDlg> note;
            QTimer::singleShot(0, &tray, [&] {
                note = tray.Exchange.Notes().At(0);
                tray.OnMenuCommand(CTrayDlg::QuitCommand);
                QVERIFY(tray.IsTimerActive(CTrayDlg::TIMER_QUIT));
                QTest::qWait(300);
                tray.OnMenuCommand(CTrayDlg::QuitCommand); // a second Quit starts the wait again
                QVERIFY(tray.IsTimerActive(CTrayDlg::TIMER_QUIT));
                QTimer::singleShot(0, &tray, [&] { tray.OnTimer(CTrayDlg::TIMER_QUIT); });
            });
            QCOMPARE(tray.exec(), int(QDialog::Accepted));
            QVERIFY(!note); // every note window went with the run
            QVERIFY(!tray.TrayIcon().isVisible());
            QVERIFY(!tray.IsTimerActive(CTrayDlg::TIMER_POLL));
        }
        QCOMPARE(QueryFirstValue(QStringLiteral("SELECT COUNT(*) FROM MSGS")), QStringLiteral("2"));

        CTrayDlg again;
        again.OnInitDialog();
        QCOMPARE(again.Exchange.OpenNotes(), 2);
    }
};

VIMO_TEST_MAIN(TestCTrayDlg, QApplication)
#include "TestCTrayDlg.moc"
