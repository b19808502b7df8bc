#include "Forms.h"
#include "TestEnvironment.h"
#include "TestWidgets.h"

#include "dialogs/CLoginDlg.h"
#include "model/NoteTexts.h"
#include "store/Statements.h"
#include "widgets/CUserListBox.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace vimo;

namespace {

int UserRows()
{
    return test::FirstValue(QStringLiteral("SELECT COUNT(*) FROM USRS")).toInt();
}

bool IsKnown(const QString& name)
{
    return !test::FirstValue(UserLookupQuery(name)).isEmpty();
}

} // namespace

class TestLoginDlg : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { test::UseFreshSqliteStore(); }

    void typedNameIsUpperCaseEverywhere()
    {
        test::ScriptedPrompts prompts;
        prompts.Answers = { true };
        test::SignInForm form;
        QVERIFY(form.Open());
        QVERIFY(form.List->isHidden());

        QTest::keyClicks(form.Name, QStringLiteral("ann"));
        QCOMPARE(form.Name->text(), QStringLiteral("ANN"));
        form.Name->setCursorPosition(1);
        QTest::keyClicks(form.Name, QStringLiteral("x"));
        QCOMPARE(form.Name->text(), QStringLiteral("AXNN"));
        QCOMPARE(form.Name->cursorPosition(), 2);
        QTest::keyClick(form.Name, Qt::Key_Backspace);

        form.Login->click();
        QVERIFY(form.SignedIn());
        QCOMPARE(form.Dialog->UserName, QStringLiteral("ANN"));
        QCOMPARE(prompts.Questions, QStringList { QStringLiteral("Add new User") });
        QVERIFY(IsKnown(QStringLiteral("ANN")));
        QVERIFY(!IsKnown(QStringLiteral("ann")));
    }

    void newNameIsAskedOnlyOnce()
    {
        test::ScriptedPrompts prompts;
        prompts.Answers = { true };
        {
            test::SignInForm first;
            QVERIFY(first.Open());
            first.LogInAs(QStringLiteral("o'neil"));
            QVERIFY(first.SignedIn());
        }
        test::SignInForm second;
        QVERIFY(second.Open());
        second.LogInAs(QStringLiteral("O'NEIL"));
        QVERIFY(second.SignedIn());
        QCOMPARE(second.Dialog->UserName, QStringLiteral("O'NEIL"));
        QCOMPARE(prompts.Questions.size(), 1);
        QCOMPARE(UserRows(), 1);
    }

    void knownNameWritesNothingAndNoStillSignsIn()
    {
        test::MustExec(AddUserStatement(QStringLiteral("ANN")));
        test::ScriptedPrompts prompts;
        prompts.Answers = { false };
        {
            test::SignInForm known;
            QVERIFY(known.Open());
            known.LogInAs(QStringLiteral("ANN"));
            QVERIFY(known.SignedIn());
            QVERIFY(prompts.Questions.isEmpty());
        }
        test::SignInForm refused;
        QVERIFY(refused.Open());
        refused.LogInAs(QStringLiteral("ZED"));
        QVERIFY(refused.SignedIn());
        QCOMPARE(refused.Dialog->UserName, QStringLiteral("ZED"));
        QCOMPARE(prompts.Questions.size(), 1);
        QCOMPARE(UserRows(), 1);
    }

    void emptyOrBlankNameIsRefused_data()
    {
        test::Columns<QString, QString>("typed", "alert");
        const QString none = QStringLiteral("There must be a User name");
        QTest::addRow("empty box") << QString() << none;
        // The statements would cut it to nothing and sign in a user without a name.
        QTest::addRow("blanks only") << QStringLiteral("   ") << none;
        // AltGr+Space on many keyboards; the name would look like BOB's.
        QTest::addRow("a no-break space is no blank")
            << QStringLiteral("BOB\u00a0") << UnseenNameAlert(QStringLiteral("BOB\u00a0"));
    }

    void emptyOrBlankNameIsRefused()
    {
        QFETCH(QString, typed);
        QFETCH(QString, alert);
        test::ScriptedPrompts prompts;
        test::AlertRecorder alerts;
        test::SignInForm form;
        QVERIFY(form.Open());
        form.LogInAs(typed);
        QCOMPARE(alerts.Alerts, QStringList { alert });
        QVERIFY(form.Dialog->isVisible());
        QVERIFY(prompts.Questions.isEmpty());
        QCOMPARE(UserRows(), 0);
    }

    void pickingReplacesTheTypedNameAndDoubleClickSignsIn()
    {
        for (const char* name : { "BOB", "ann", "ALF" })
            test::MustExec(AddUserStatement(QString::fromLatin1(name)));
        test::ScriptedPrompts prompts;
        test::SignInForm form;
        QVERIFY(form.Open());
        QTest::keyClicks(form.Name, QStringLiteral("X"));
        form.ShowList->click();
        QVERIFY(form.List->isVisible());
        QVERIFY(form.List->hasFocus());
        // The first name is highlighted, but only a change of the selection copies it.
        QCOMPARE(form.List->SelectedText(), QStringLiteral("ALF"));
        QCOMPARE(form.Name->text(), QStringLiteral("X"));

        QTest::keyClick(form.List, Qt::Key_Down);
        QCOMPARE(form.Name->text(), QStringLiteral("ann"));
        test::ClickItem(form.List, QStringLiteral("BOB"));
        QCOMPARE(form.Name->text(), QStringLiteral("BOB"));
        // A click on the name already highlighted takes it too.
        QTest::keyClicks(form.Name, QStringLiteral("BY"));
        test::ClickItem(form.List, QStringLiteral("BOB"));
        QCOMPARE(form.Name->text(), QStringLiteral("BOB"));
        QVERIFY(form.Dialog->isVisible());

        // A picked name stays as the store has it, so the lookup finds it: no question.
        test::ClickItem(form.List, QStringLiteral("ann"), true);
        QVERIFY(form.SignedIn());
        QCOMPARE(form.Dialog->UserName, QStringLiteral("ann"));
        QVERIFY(prompts.Questions.isEmpty());
    }

    void enterInThePickerSignsInWithTheTypedName()
    {
        test::MustExec(AddUserStatement(QStringLiteral("ALF")));
        test::ScriptedPrompts prompts;
        test::SignInForm form;
        QVERIFY(form.Open());
        QTest::keyClicks(form.Name, QStringLiteral("zed"));
        form.ShowList->click();
        QTest::keyClick(form.List, Qt::Key_Return);
        QVERIFY(form.SignedIn());
        QCOMPARE(form.Dialog->UserName, QStringLiteral("ZED"));
        QCOMPARE(prompts.Questions, QStringList { QStringLiteral("Add new User") });
    }

    void enterMovesOnAndNeverSignsIn()
    {
        test::AlertRecorder alerts;
        test::SignInForm form;
        QVERIFY(form.Open());
        QTest::keyClicks(form.Name, QStringLiteral("ANN"));
        QTest::keyClick(form.Name, Qt::Key_Return);
        QVERIFY(form.ShowList->hasFocus());
        QTest::keyClick(form.ShowList, Qt::Key_Return);
        QVERIFY(form.Login->hasFocus());
        QVERIFY(form.List->isHidden());
        QTest::keyClick(form.Login, Qt::Key_Return);
        QVERIFY(form.Cancel->hasFocus());
        QVERIFY(form.Dialog->isVisible());
        QVERIFY(alerts.Alerts.isEmpty());
        QCOMPARE(UserRows(), 0);
    }

    void cancelLeavesTheNameEmpty_data() { test::CancelWays(); }

    void cancelLeavesTheNameEmpty()
    {
        QFETCH(int, way);
        test::ScriptedPrompts prompts;
        test::SignInForm form;
        QVERIFY(form.Open());
        QTest::keyClicks(form.Name, QStringLiteral("ANN"));
        test::CancelBy(way, form.Dialog, form.Cancel, form.Name);
        QVERIFY(!form.Dialog->isVisible());
        QCOMPARE(form.Dialog->result(), int(QDialog::Rejected));
        QCOMPARE(form.Dialog->UserName, QString());
        QCOMPARE(form.Name->text(), QString());
        QVERIFY(prompts.Questions.isEmpty());
        QCOMPARE(UserRows(), 0);
    }

    void nameIsHeldToFifteenCharacters()
    {
        // Another program may have stored a longer name than the column is meant to hold.
        test::MustExec(QStringLiteral("INSERT INTO USRS (RECIPIENT) VALUES('ABCDEFGHIJKLMNOPQ')"));
        test::AlertRecorder alerts;
        test::ScriptedPrompts prompts;
        test::SignInForm form;
        QVERIFY(form.Open());
        QTest::keyClicks(form.Name, QStringLiteral("abcdefghijklmnopqrst"));
        QCOMPARE(form.Name->text(), QStringLiteral("ABCDEFGHIJKLMNO"));

        // Picked, it shows whole and is refused rather than cut to somebody else's name.
        form.Name->clear();
        form.ShowList->click();
        test::ClickItem(form.List, QStringLiteral("ABCDEFGHIJKLMNOPQ"));
        QCOMPARE(form.Name->text(), QStringLiteral("ABCDEFGHIJKLMNOPQ"));
        form.Login->click();
        QCOMPARE(alerts.Alerts,
            QStringList { QStringLiteral("Please enter no more than 15 characters.") });
        QVERIFY(form.Dialog->isVisible());
        QVERIFY(form.Name->hasFocus());
        QVERIFY(prompts.Questions.isEmpty());
    }
};

VIMO_TEST_MAIN(TestLoginDlg, QApplication)
#include "TestLoginDlg.moc"
