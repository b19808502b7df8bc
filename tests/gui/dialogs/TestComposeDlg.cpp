#include "Forms.h"
#include "TestEnvironment.h"
#include "TestWidgets.h"

#include "dialogs/CComposeDlg.h"
#include "dialogs/CNoteTextEdit.h"
#include "store/Statements.h"
#include "widgets/CUserListBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace vimo;

namespace {

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

    void addresseeIsCheckedAgainstTheUsers_data()
    {
        // alert: the one the dialog shows; empty when the note goes.
        test::Columns<QString, QString>("typed", "alert");
        const QString unknown = QStringLiteral("User name must be Valid\n[Press ? for List]");
        QTest::addRow("empty box") << QString() << QStringLiteral("User name cannot be Empty");
        // A user who signed in but answered no to being added is not in USRS either.
        QTest::addRow("a name not in USRS") << QStringLiteral("zed") << unknown;
        QTest::addRow("lower case is looked up in capitals") << QStringLiteral("ann") << QString();
        QTest::addRow("an apostrophe") << QStringLiteral("o'neil") << QString();
    }

    void addresseeIsCheckedAgainstTheUsers()
    {
        QFETCH(QString, typed);
        QFETCH(QString, alert);
        test::AlertRecorder alerts;
        test::ComposeForm form;
        QVERIFY(form.Open());
        QTest::keyClicks(form.Recipient, typed);
        form.Send->click();
        if (alert.isEmpty()) {
            QVERIFY(form.Sent());
            QVERIFY(alerts.Alerts.isEmpty());
            // Neither an empty text nor no urgency at all stops a note.
            QCOMPARE(form.Stored(), QStringList { typed.toUpper() + QStringLiteral("||3") });
            return;
        }
        QVERIFY(test::Settled());
        QCOMPARE(alerts.Alerts, QStringList { alert });
        // The box that shows it on the desktop is not painted black on black like the dialog.
        QCOMPARE(form.Dialog->palette().color(QPalette::Window), QColor(Qt::black));
        QMessageBox box(QMessageBox::NoIcon, QString(), alert);
        box.ensurePolished();
        QVERIFY(box.palette().color(QPalette::WindowText) != box.palette().color(QPalette::Window));
        QVERIFY(form.Dialog->isVisible());
        QVERIFY(form.Recipient->hasFocus());
        QCOMPARE(form.Recipient->selectedText(), form.Recipient->text());
    }

    void urgencyBoxesAreRadioButtonsThatCanAllBeOff()
    {
        test::ComposeForm form;
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

    void enterMovesOnMakesNewLinesAndSendsFromThePicker()
    {
        test::AlertRecorder alerts;
        test::ComposeForm form;
        QVERIFY(form.Open());
        QTest::keyClicks(form.Recipient, QStringLiteral("bob"));
        PressEnter();
        QVERIFY(form.Text->hasFocus());
        QTest::keyClicks(form.Text, QStringLiteral("one"));
        PressEnter();
        QTest::keyClicks(form.Text, QStringLiteral("two"));
        QCOMPARE(form.Text->StoredText(), QStringLiteral("one\r\ntwo"));
        // Tab leaves the text; Enter on a button only moves on.
        QTest::keyClick(form.Text, Qt::Key_Tab);
        PressEnter();
        QVERIFY(form.Cancel->hasFocus());
        QVERIFY(form.Dialog->isVisible());

        form.ShowList->click();
        PressEnter();
        QVERIFY(form.Sent());
        QVERIFY(alerts.Alerts.isEmpty());
        QCOMPARE(form.Stored(), QStringList { QStringLiteral("BOB|one\r\ntwo|3") });
    }

    void pickingTakesTheNameAndDoubleClickGoesOnToTheText()
    {
        test::ComposeForm form;
        QVERIFY(form.Open());
        QTest::keyClicks(form.Recipient, QStringLiteral("x"));
        form.ShowList->click();
        QVERIFY(form.List->isVisible());
        QCOMPARE(form.List->SelectedText(), QStringLiteral("alf"));
        QCOMPARE(form.Recipient->text(), QStringLiteral("X"));
        test::ClickItem(form.List, QStringLiteral("BOB"));
        QCOMPARE(form.Recipient->text(), QStringLiteral("BOB"));

        test::ClickItem(form.List, QStringLiteral("O'NEIL"), true);
        QCOMPARE(form.Recipient->text(), QStringLiteral("O'NEIL"));
        QVERIFY(form.List->isHidden());
        QVERIFY(form.Text->hasFocus());
        QVERIFY(form.Dialog->isVisible());
    }

    void replyOpensAddressedWithTheKeysInTheText()
    {
        test::ComposeForm form;
        form.Dialog->ReplyTo(QStringLiteral("O'NEIL"));
        QVERIFY(form.OpenWithFocusIn(form.Text));
        QCOMPARE(form.Recipient->text(), QStringLiteral("O'NEIL"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("on my way"));
        form.Send->click();
        QVERIFY(form.Sent());
        QCOMPARE(form.Stored(), QStringList { QStringLiteral("O'NEIL|on my way|3") });
    }

    void severalRecipients_data()
    {
        // recipients: the names the note goes to; alert: the refusal, when it is refused;
        // selected: what the recipient box then selects.
        test::Columns<QString, QStringList, QString, QString>(
            "typed", "recipients", "alert", "selected");
        QTest::addRow("two names, longer than one name may be")
            << QStringLiteral("ann, o'neil,ann,")
            << QStringList { QStringLiteral("ANN"), QStringLiteral("O'NEIL") } << QString()
            << QString();
        QTest::addRow("one unknown name refuses all, naming it")
            << QStringLiteral("ann, nobody, zed") << QStringList()
            << QStringLiteral("User name must be Valid: NOBODY\n[Press ? for List]")
            << QStringLiteral("NOBODY");
        QTest::addRow("a name longer than any user's")
            << QStringLiteral("ann, abcdefghijklmnop") << QStringList()
            << QStringLiteral("User name must be Valid: ABCDEFGHIJKLMNOP\n[Press ? for List]")
            << QStringLiteral("ABCDEFGHIJKLMNOP");
        QTest::addRow("commas alone")
            << QStringLiteral(" , ,") << QStringList()
            << QStringLiteral("User name cannot be Empty") << QStringLiteral(" , ,");
    }

    void severalRecipients()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, recipients);
        QFETCH(QString, alert);
        QFETCH(QString, selected);
        test::AlertRecorder alerts;
        test::ComposeForm form;
        QVERIFY(form.Open());
        QTest::keyClicks(form.Recipient, typed);
        QCOMPARE(form.Recipient->text(), typed.toUpper());
        form.Send->click();
        QCOMPARE(form.Sent(), alert.isEmpty());
        QCOMPARE(alerts.Alerts, alert.isEmpty() ? QStringList() : QStringList { alert });
        QCOMPARE(form.Stored("RECIPIENT"), recipients);
        if (!alert.isEmpty()) {
            // What stopped the note is selected, to be typed over.
            QVERIFY(form.Recipient->hasFocus());
            QCOMPARE(form.Recipient->selectedText(), selected);
        }
    }

    // Picking replaces the name being picked or typed, and adds to the names already there.
    void thePickerAddsNames()
    {
        test::ComposeForm form;
        QVERIFY(form.Open());
        QTest::keyClicks(form.Recipient, QStringLiteral("ann, b"));
        form.ShowList->click();
        test::ClickItem(form.List, QStringLiteral("BOB"));
        QCOMPARE(form.Recipient->text(), QStringLiteral("ANN, BOB"));
        test::ClickItem(form.List, QStringLiteral("alf"));
        QCOMPARE(form.Recipient->text(), QStringLiteral("ANN, alf"));
        test::ClickItem(form.List, QStringLiteral("O'NEIL"), true);
        QCOMPARE(form.Recipient->text(), QStringLiteral("ANN, O'NEIL"));
        QVERIFY(form.List->isHidden());

        form.ShowList->click();
        test::ClickItem(form.List, QStringLiteral("BOB"));
        QCOMPARE(form.Recipient->text(), QStringLiteral("ANN, O'NEIL, BOB"));
        test::ClickItem(form.List, QStringLiteral("ANN"));
        QCOMPARE(form.Recipient->text(), QStringLiteral("ANN, O'NEIL"));
        test::ClickItem(form.List, QStringLiteral("alf"));
        form.Send->click();
        QVERIFY(form.Sent());
        QCOMPARE(form.Stored("RECIPIENT"),
            QStringList(
                { QStringLiteral("ANN"), QStringLiteral("O'NEIL"), QStringLiteral("alf") }));
    }

    void noteTextTakesAtMostTwoHundredFifty()
    {
        test::ComposeForm form;
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

        // A full note is sent whole.
        QTest::keyClicks(form.Recipient, QStringLiteral("ann"));
        form.Send->click();
        QVERIFY(form.Sent());
        QCOMPARE(form.Stored("MSG"), QStringList { QString(250, u'y') });
        form.Dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.Dialog));
        form.Text->setFocus();

        // Every kind of line break takes two; a letter of two UTF-16 units is never split.
        form.Text->clear();
        QTest::keyClicks(form.Text, QString(240, u'x'));
        QApplication::clipboard()->setText(QStringLiteral("a\nb\rc\u2029\U0001F600"));
        form.Text->paste();
        QCOMPARE(form.Text->StoredText(), QString(240, u'x') + QStringLiteral("a\r\nb\r\nc\r\n"));
    }
};

VIMO_TEST_MAIN(TestComposeDlg, QApplication)
#include "TestComposeDlg.moc"
