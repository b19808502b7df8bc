#include "Forms.h"
#include "TestEnvironment.h"
#include "TrayDriver.h"

#include "delivery/NotePosting.h"
#include "dialogs/CSentDlg.h"
#include "model/NoteTexts.h"
#include "notes/CNoteDlg.h"
#include "notes/NoteWindows.h"
#include "store/LaterTable.h"
#include "store/ReceiptTable.h"
#include "store/Statements.h"
#include "store/StoreUpgrade.h"
#include "tray/CTrayDlg.h"

#include <QApplication>
#include <QTest>
#include <QTreeWidget>

using namespace vimo;
using namespace Qt::StringLiterals;

namespace {

// Runs job(Store&) on the test's store worker and returns what it returns.
template <class Job> auto OnStore(Job job)
{
    return test::TestWorker().Call(job);
}

QStringList SentBy(const QString& sender)
{
    QStringList sent;
    for (const SentNote& row :
        OnStore([&](Store& s) { return ReceiptTable(s).SentBy(sender).Value; }))
        sent << row.Recipient + u' ' + row.Text + u' ' + ReceiptStateText(row);
    return sent;
}

// The open "Sent Vimos" as "text: status" lines, newest first.
QStringList SentStates()
{
    QStringList states;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* list = qobject_cast<CSentDlg*>(window);
        if (list == nullptr || !list->isVisible())
            continue;
        auto* rows = list->findChild<QTreeWidget*>(u"SentList"_s);
        for (int row = 0; row < rows->topLevelItemCount(); ++row) {
            const QTreeWidgetItem* item = rows->topLevelItem(row);
            states << item->text(CSentDlg::TextColumn) + u": "_s
                    + item->text(CSentDlg::StateColumn);
        }
    }
    return states;
}

} // namespace

// Answering a note, writing to several people, and learning what became of a note, at the
// tray as the user meets them: once on a SQLite data file, once on PostgreSQL.
class TestNoteFeatures : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(test::UseFreshStore());
        for (const QString& name : { u"ANN"_s, u"BOB"_s, u"CAROL"_s })
            test::MustExec(AddUserStatement(name));
    }

    void replyAndSeveralRecipients()
    {
        OnStore([](Store& s) { AddReceiptsTable(s); });
        test::MustExec(PostStatement(u"Lunch?"_s, u"BOB"_s, u"ANN"_s, u"20261207"_s, 7, u'3'));
        test::AlertRecorder alerts;
        CTrayDlg tray(test::TestWorker(), u"BOB"_s);
        test::RunTray(tray, [&] {
            CNoteDlg* note = test::OpenNotes(tray).value(0);
            QVERIFY(note);
            QCOMPARE(test::TipText(note->toolTip()), u"From ANN, Mon 7 Dec 2026"_s);

            bool replied = false;
            test::WhenComposing([&replied](test::ComposeForm& compose) {
                QCOMPARE(compose.Recipient->text(), u"ANN"_s);
                QCOMPARE(QApplication::focusWidget(), compose.Text);
                QTest::keyClicks(compose.Text, u"Yes, at one"_s);
                compose.Send->click();
                replied = test::Settled() && compose.Sent();
            });
            test::ChooseFromContextMenu(note, QPoint(50, 50), Qt::Key_R);
            QTRY_VERIFY_WITH_TIMEOUT(replied, 20000);

            // One unknown name refuses the whole note, naming it.
            test::WhenComposing([](test::ComposeForm& compose) {
                QTest::keyClicks(compose.Recipient, u"ann, nobody"_s);
                QTest::keyClicks(compose.Text, u"Meeting at 3"_s);
                compose.Send->click();
                QVERIFY(test::Settled());
                QCOMPARE(compose.Recipient->selectedText(), u"NOBODY"_s);
                compose.Cancel->click();
            });
            test::ChooseFromTrayMenu(tray, Qt::Key_N);
            QCOMPARE(alerts.Alerts, QStringList { UnknownUserAlert(u"NOBODY"_s) });
            test::WhenComposing([](test::ComposeForm& compose) {
                QTest::keyClicks(compose.Recipient, u"ann, carol"_s);
                QTest::keyClicks(compose.Text, u"Meeting at 3"_s);
                compose.Send->click();
            });
            test::ChooseFromTrayMenu(tray, Qt::Key_N);
        });
        QCOMPARE(alerts.Alerts.size(), 1);
        QCOMPARE(
            test::ColumnValues(u"SELECT RECIPIENT FROM MSGS WHERE SENDER='BOB' ORDER BY TKEY"_s),
            QStringList({ u"ANN"_s, u"ANN"_s, u"CAROL"_s }));
        QCOMPARE(test::FirstValue(u"SELECT COUNT(DISTINCT TKEY) FROM MSGS"_s), u"4"_s);
        QCOMPARE(SentBy(u"BOB"_s),
            QStringList({ u"CAROL Meeting at 3 waiting"_s, u"ANN Meeting at 3 waiting"_s,
                u"ANN Yes, at one waiting"_s }));
    }

    void receiptsTellTheSenderWhatBecameOfANote()
    {
        // A store that older copies made has no receipts table: notes go and come as always.
        const auto writeToBob = [](const QString& text) {
            return OnStore([&text](Store& s) {
                return WriteNoteToEach(s, u"ANN"_s, { u"BOB"_s }, text, u'1').Reached.size();
            });
        };
        QCOMPARE(writeToBob(u"before"_s), 1);
        QWidget bobsScreen;
        NoteWindows bobsNotes(&bobsScreen, test::TestWorker(), u"BOB"_s);
        NoteInbox& bob = bobsNotes.Inbox();
        const auto poll = [&bob] {
            bob.PollNotes();
            return test::Settled();
        };
        QVERIFY(poll());
        QVERIFY(poll());
        QCOMPARE(bob.OpenNotes(), 1);
        QCOMPARE(test::FirstValue(u"SELECT COUNT(*) FROM MSGS"_s), u"1"_s);
        test::MustExec(u"DELETE FROM MSGS"_s);
        bob.CloseAllNotes();

        // The next start adds it.
        OnStore([](Store& s) { AddReceiptsTable(s); });
        QCOMPARE(test::FirstValue(u"SELECT COUNT(*) FROM RCPTS"_s), u"0"_s);

        // The note shows before its sender's record is there: the next poll stamps it.
        test::MustExec(PostStatement(u"Lunch?"_s, u"BOB"_s, u"ANN"_s, u"20261207"_s, 9, u'2'));
        QVERIFY(poll());
        QVERIFY(OnStore([](Store& s) {
            return ReceiptTable(s).RecordSent({ 9, u"ANN"_s, u"BOB"_s, 20261207 }, u"Lunch?"_s);
        }).Succeeded());
        CTrayDlg ann(test::TestWorker(), u"ANN"_s);
        const auto listSent = [&ann] {
            test::ChooseFromTrayMenu(ann, Qt::Key_T);
            return test::Settled();
        };
        test::RunTray(ann, [&] {
            QVERIFY(listSent());
            QCOMPARE(SentStates(), QStringList { u"Lunch?: waiting"_s });

            QVERIFY(poll());
            QVERIFY(listSent());
            QVERIFY2(SentStates().value(0).startsWith(u"Lunch?: on screen since "_s),
                qPrintable(SentStates().join(u'|')));

            test::ChooseFromContextMenu(
                bobsScreen.findChild<CNoteDlg*>(), QPoint(50, 50), Qt::Key_D);
            bob.CarryOutDeletions();
            QVERIFY(test::Settled());
            QVERIFY(listSent());
            QVERIFY2(SentStates().value(0).startsWith(u"Lunch?: deleted "_s),
                qPrintable(SentStates().join(u'|')));

            // A copy that writes no receipts deletes a note: it stays "waiting".
            writeToBob(u"Old copy"_s);
            test::MustExec(u"DELETE FROM MSGS WHERE MSG='Old copy'"_s);
            QVERIFY(listSent());
            QCOMPARE(SentStates().size(), 2);
            QVERIFY2(
                SentStates().contains(u"Old copy: waiting"_s), qPrintable(SentStates().join(u'|')));
        });
    }

    void anOlderCopyStillSharesAStoreWithTheNewTables()
    {
        OnStore([](Store& s) { AddReceiptsTable(s); });
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        QVERIFY(OnStore([now](Store& s) {
            return LaterTable(s).Schedule(
                { 0, u"ANN"_s, u"BOB"_s, 20261208, 2, u"Later"_s, now + 3600 });
        }).Succeeded());
        // What an older copy does: its own post, poll and deletion on MSGS alone.
        test::MustExec(PostStatement(u"From old"_s, u"BOB"_s, u"CAROL"_s, u"20261208"_s, 7, u'1'));
        QCOMPARE(test::ColumnValues(NotesQuery(u"BOB"_s)).size(), 1);
        QWidget bobsScreen;
        NoteWindows bobsNotes(&bobsScreen, test::TestWorker(), u"BOB"_s);
        bobsNotes.Inbox().PollNotes();
        QVERIFY(test::Settled());
        QCOMPARE(bobsNotes.Inbox().OpenNotes(), 1); // the note for later waits its hour
        test::MustExec(
            DeleteNoteStatement({ 7, u"BOB"_s, u"CAROL"_s, u"20261208"_s, u"1"_s, u"From old"_s }));
        QCOMPARE(test::FirstValue(u"SELECT COUNT(*) FROM MSGS"_s), u"0"_s);
        QCOMPARE(test::FirstValue(u"SELECT COUNT(*) FROM VIMO_LATER"_s), u"1"_s);
    }
};

VIMO_TEST_MAIN(TestNoteFeatures, QApplication)
#include "TestNoteFeatures.moc"
