#include "TestEnvironment.h"

#include "dialogs/CComposeDlg.h"
#include "dialogs/CNoteTextEdit.h"
#include "dialogs/CUserListBox.h"
#include "store/SqlHelpers.h"
#include "store/Statements.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace vimo;

namespace {

// One compose dialog on screen, with its controls at hand.
struct ComposeForm {
    CComposeDlg Dialog;
    QLineEdit* Recipient = Dialog.findChild<QLineEdit*>(QStringLiteral("RecipientEdit"));
    CNoteTextEdit* Text = Dialog.findChild<CNoteTextEdit*>(QStringLiteral("NoteTextEdit"));
    QPushButton* Send = Dialog.findChild<QPushButton*>(QStringLiteral("SendButton"));
    QPushButton* Cancel = Dialog.findChild<QPushButton*>(QStringLiteral("CancelButton"));
    QPushButton* ShowList = Dialog.findChild<QPushButton*>(QStringLiteral("ShowListButton"));
    CUserListBox* List = Dialog.findChild<CUserListBox*>(QStringLiteral("UserList"));
    QCheckBox* Yellow = Dialog.findChild<QCheckBox*>(QStringLiteral("YellowBox"));
    QCheckBox* Green = Dialog.findChild<QCheckBox*>(QStringLiteral("GreenBox"));
    QCheckBox* Red = Dialog.findChild<QCheckBox*>(QStringLiteral("RedBox"));

    bool Open()
    {
        Dialog.show();
        return QTest::qWaitForWindowActive(&Dialog) && Recipient->hasFocus();
    }

    bool Sent() const { return !Dialog.isVisible() && Dialog.result() == QDialog::Accepted; }

    void ClickItem(const QString& text, bool twice = false)
    {
        const QList<QListWidgetItem*> found = List->findItems(text, Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        const QPoint at = List->visualItemRect(found.first()).center();
        QTest::mouseClick(List->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        if (twice)
            QTest::mouseDClick(List->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }

    QString Urgency()
    {
        Dialog.UpdateData(true);
        return QStringLiteral("%1%2%3").arg(Dialog.UrgencyYellow).arg(Dialog.UrgencyGreen).arg(Dialog.UrgencyRed);
    }
};

void PressEnter()
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}

} // namespace

// The compose dialog: who a note may go to, its urgency boxes, its keys and its text limit.
class TestComposeDlg : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        test::UseFreshSqliteStore();
        for (const char* name : { "ANN", "BOB", "O'NEIL", "alf" })
            test::MustExec(AddUserStatement(QString::fromUtf8(name)));
    }

    void refusedAddresseeKeepsTheDialogOpen_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("alert");
        QTest::addRow("empty box") << QString() << QStringLiteral("User name cannot be Empty");
        // A user who signed in but answered no to being added is not in USRS either.
        QTest::addRow("a name not in USRS")
            << QStringLiteral("zed") << QStringLiteral("User name must be Valid\n[Press ? for List]");
        QTest::addRow("blanks only")
            << QStringLiteral("  ") << QStringLiteral("User name must be Valid\n[Press ? for List]");
    }

    void refusedAddresseeKeepsTheDialogOpen()
    {
        QFETCH(QString, typed);
        QFETCH(QString, alert);
        test::AlertRecorder alerts;
        ComposeForm form;
        QVERIFY(form.Open());
        QTest::keyClicks(form.Recipient, typed);
        QTest::keyClicks(form.Text, QStringLiteral("hello"));
        form.Send->click();
        QCOMPARE(alerts.Alerts, QStringList { alert });
        QVERIFY(form.Dialog.isVisible());
        QVERIFY(form.Recipient->hasFocus());
        QCOMPARE(form.Recipient->selectedText(), form.Recipient->text());
        QCOMPARE(form.Text->StoredText(), QStringLiteral("hello"));
    }

    void knownAddresseeIsAccepted_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("recipient");
        QTest::addRow("lower case is looked up in capitals") << QStringLiteral("ann") << QStringLiteral("ANN");
        QTest::addRow("an apostrophe") << QStringLiteral("o'neil") << QStringLiteral("O'NEIL");
    }

    void knownAddresseeIsAccepted()
    {
        QFETCH(QString, typed);
        QFETCH(QString, recipient);
        test::AlertRecorder alerts;
        ComposeForm form;
        QVERIFY(form.Open());
        QTest::keyClicks(form.Recipient, typed);
        QCOMPARE(form.Recipient->text(), recipient);
        form.Send->click();
        QVERIFY(form.Sent());
        QVERIFY(alerts.Alerts.isEmpty());
        QCOMPARE(form.Dialog.RecipientName, recipient);
        // Neither an empty text nor no urgency at all stops a note.
        QCOMPARE(form.Dialog.NoteText, QString());
        QCOMPARE(form.Urgency(), QStringLiteral("000"));
    }

    void urgencyBoxesAreRadioButtonsThatCanAllBeOff()
    {
        ComposeForm form;
        QVERIFY(form.Open());
        QTest::mouseClick(form.Yellow, Qt::LeftButton);
        QCOMPARE(form.Urgency(), QStringLiteral("100"));
        QTest::mouseClick(form.Red, Qt::LeftButton);
        QCOMPARE(form.Urgency(), QStringLiteral("001"));
        QVERIFY(!form.Yellow->isChecked());
        QTest::mouseClick(form.Red, Qt::LeftButton);
        QCOMPARE(form.Urgency(), QStringLiteral("000"));
        form.Green->setFocus();
        QTest::keyClick(form.Green, Qt::Key_Space);
        QCOMPARE(form.Urgency(), QStringLiteral("010"));
        QVERIFY(form.Green->isChecked() && !form.Red->isChecked() && !form.Yellow->isChecked());
    }

    void enterMovesOnMakesNewLinesAndSendsOnlyFromThePicker()
    {
        test::AlertRecorder alerts;
        ComposeForm form;
        QVERIFY(form.Open());
        QTest::keyClicks(form.Recipient, QStringLiteral("bob"));
        PressEnter();
        QVERIFY(form.Text->hasFocus());
        QTest::keyClicks(form.Text, QStringLiteral("one"));
        PressEnter();
        QTest::keyClicks(form.Text, QStringLiteral("two"));
        QCOMPARE(form.Text->StoredText(), QStringLiteral("one\r\ntwo"));
        // Tab leaves the text; Enter then walks the buttons and boxes without pressing them.
        QTest::keyClick(form.Text, Qt::Key_Tab);
        QVERIFY(form.Send->hasFocus());
        PressEnter();
        QVERIFY(form.Cancel->hasFocus());
        PressEnter();
        QVERIFY(form.ShowList->hasFocus());
        PressEnter();
        QVERIFY(form.Yellow->hasFocus());
        QVERIFY(form.List->isHidden());
        PressEnter();
        QVERIFY(form.Green->hasFocus());
        QVERIFY(!form.Yellow->isChecked());
        QVERIFY(form.Dialog.isVisible());

        form.ShowList->click();
        QVERIFY(form.List->hasFocus());
        PressEnter();
        QVERIFY(form.Sent());
        QVERIFY(alerts.Alerts.isEmpty());
        QCOMPARE(form.Dialog.RecipientName, QStringLiteral("BOB"));
        QCOMPARE(form.Dialog.NoteText, QStringLiteral("one\r\ntwo"));
    }

    void pickingTakesTheNameAndDoubleClickGoesOnToTheText()
    {
        ComposeForm form;
        QVERIFY(form.Open());
        QTest::keyClicks(form.Recipient, QStringLiteral("x"));
        form.ShowList->click();
        QVERIFY(form.List->isVisible());
        QCOMPARE(form.List->SelectedText(), QStringLiteral("alf"));
        QCOMPARE(form.Recipient->text(), QStringLiteral("X"));
        form.ClickItem(QStringLiteral("BOB"));
        QCOMPARE(form.Recipient->text(), QStringLiteral("BOB"));

        form.ClickItem(QStringLiteral("O'NEIL"), true);
        QCOMPARE(form.Recipient->text(), QStringLiteral("O'NEIL"));
        QVERIFY(form.List->isHidden());
        QVERIFY(form.Text->hasFocus());
        QVERIFY(form.Dialog.isVisible());
    }

    void cancelEndsTheRunWhateverTheBoxesHold_data()
    {
        QTest::addColumn<int>("way");
        QTest::addRow("Cancel button") << 0;
        QTest::addRow("Esc in the text") << 1;
        QTest::addRow("close box") << 2;
    }

    void cancelEndsTheRunWhateverTheBoxesHold()
    {
        QFETCH(int, way);
        test::AlertRecorder alerts;
        ComposeForm form;
        QVERIFY(form.Open());
        QTest::keyClicks(form.Recipient, QStringLiteral("ann"));
        QTest::keyClicks(form.Text, QStringLiteral("never mind"));
        switch (way) {
        case 0:
            form.Cancel->click();
            break;
        case 1:
            QTest::keyClick(form.Text, Qt::Key_Escape);
            break;
        default:
            form.Dialog.close();
        }
        QVERIFY(!form.Dialog.isVisible());
        QCOMPARE(form.Dialog.result(), int(QDialog::Rejected));
        QVERIFY(alerts.Alerts.isEmpty());
    }

    void storedLengthCountsALineBreakAsTwo_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("room");
        QTest::addColumn<QString>("fits");
        QTest::addColumn<QString>("stored");
        QTest::addRow("plain text cut to the room")
            << QStringLiteral("abcdef") << 4 << QStringLiteral("abcd") << QStringLiteral("abcdef");
        QTest::addRow("every kind of line break takes two")
            << QStringLiteral("a\r\nb\nc\rd\u2029e\u2028f") << 100 << QStringLiteral("a\r\nb\nc\rd\u2029e\u2028f")
            << QStringLiteral("a\r\nb\r\nc\r\nd\r\ne\r\nf");
        QTest::addRow("a line break that does not fit whole is left out")
            << QStringLiteral("ab\r\ncd") << 3 << QStringLiteral("ab") << QStringLiteral("ab\r\ncd");
        QTest::addRow("a letter of two UTF-16 units is never split")
            << QStringLiteral("a\U0001F600b") << 2 << QStringLiteral("a") << QStringLiteral("a\U0001F600b");
        QTest::addRow("no room") << QStringLiteral("a") << 0 << QString() << QStringLiteral("a");
    }

    void storedLengthCountsALineBreakAsTwo()
    {
        QFETCH(QString, text);
        QFETCH(int, room);
        QFETCH(QString, fits);
        QFETCH(QString, stored);
        QCOMPARE(FitToRoom(text, room), fits);
        QCOMPARE(StoredNoteText(text), stored);
        QCOMPARE(StoredLength(text), stored.size());
    }

    void noteTextTakesAtMostTwoHundredFifty()
    {
        ComposeForm form;
        QVERIFY(form.Open());
        form.Text->setFocus();
        QTest::keyClicks(form.Text, QString(249, u'a'));
        // The line break would make 251.
        PressEnter();
        QCOMPARE(form.Text->StoredText(), QString(249, u'a'));
        QTest::keyClicks(form.Text, QStringLiteral("bc"));
        QCOMPARE(form.Text->StoredText(), QString(249, u'a') + u'b');

        // Typed over a selection, the selection's room counts.
        QTest::keyClick(form.Text, Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClick(form.Text, Qt::Key_Left, Qt::ShiftModifier);
        PressEnter();
        QCOMPARE(form.Text->StoredText(), QString(248, u'a') + QStringLiteral("\r\n"));

        // A paste is cut to what fits, and a line break is never cut in half.
        form.Text->clear();
        QTest::keyClicks(form.Text, QString(242, u'x'));
        QApplication::clipboard()->setText(QStringLiteral("1234567\r\n89"));
        form.Text->paste();
        QCOMPARE(form.Text->StoredText(), QString(242, u'x') + QStringLiteral("1234567"));
        form.Text->selectAll();
        QApplication::clipboard()->setText(QString(300, u'y'));
        form.Text->paste();
        QCOMPARE(form.Text->StoredText(), QString(250, u'y'));

        form.Dialog.UpdateData(true);
        QCOMPARE(form.Dialog.NoteText.size(), 250);
    }

    void aLongerStoredTextIsShownWholeAndRefused()
    {
        test::AlertRecorder alerts;
        ComposeForm form;
        form.Dialog.NoteText = QString(251, u'z');
        QVERIFY(form.Open());
        QCOMPARE(form.Text->StoredText(), QString(251, u'z'));
        QVERIFY(!form.Dialog.UpdateData(true));
        QCOMPARE(alerts.Alerts, QStringList { QStringLiteral("Please enter no more than 250 characters.") });
        QVERIFY(form.Text->hasFocus());
    }
};

VIMO_TEST_MAIN(TestComposeDlg, QApplication)
#include "TestComposeDlg.moc"
