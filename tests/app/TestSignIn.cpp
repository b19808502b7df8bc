#include "Forms.h"
#include "TestEnvironment.h"
#include "TestWidgets.h"

#include "app/SignIn.h"
#include "store/Statements.h"

#include <QApplication>
#include <QTest>

using namespace vimo;

// Start-up's sign-in: the dialog's name becomes the current user, or the program ends.
class TestSignIn : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { test::UseFreshSqliteStore(); }

    void typedNameBecomesTheCurrentUser()
    {
        test::ScriptedPrompts prompts;
        prompts.Answers = { true };
        test::WhenModal<CLoginDlg>([](CLoginDlg* dialog) {
            test::SignInForm form(dialog);
            QTest::keyClicks(form.Name, QStringLiteral("ann"));
            form.Login->click();
        });
        QCOMPARE(SignIn(test::TestWorker()), QStringLiteral("ANN"));
        QCOMPARE(test::FirstValue(UserLookupQuery(QStringLiteral("ANN"))), QStringLiteral("ANN"));
    }

    void cancelEndsTheProgram()
    {
        test::ScriptedPrompts prompts;
        test::WhenModal<CLoginDlg>([](CLoginDlg* dialog) {
            QTest::keyClicks(test::SignInForm(dialog).Name, QStringLiteral("ann"));
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QCOMPARE(SignIn(test::TestWorker()), QString());
        QVERIFY(prompts.Questions.isEmpty());
    }
};

VIMO_TEST_MAIN(TestSignIn, QApplication)
#include "TestSignIn.moc"
