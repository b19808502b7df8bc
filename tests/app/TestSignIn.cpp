#include "TestEnvironment.h"

#include "app/SignIn.h"
#include "store/Statements.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace vimo;

namespace {

// Acts in the sign-in dialog once its modal run has begun.
void WhenDialogOpens(std::function<void(QWidget*)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget* dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        act(dialog);
    });
}

} // namespace

// Start-up's sign-in: the dialog's name becomes the current user, or the program ends.
class TestSignIn : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { test::UseFreshSqliteStore(); }

    void typedNameBecomesTheCurrentUser()
    {
        test::ScriptedPrompts prompts;
        prompts.Answers = { true };
        WhenDialogOpens([](QWidget* dialog) {
            QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("UserNameEdit")),
                QStringLiteral("ann"));
            dialog->findChild<QPushButton*>(QStringLiteral("LoginButton"))->click();
        });
        QCOMPARE(SignIn(test::TestStore()), QStringLiteral("ANN"));
        QCOMPARE(test::FirstValue(UserLookupQuery(QStringLiteral("ANN"))), QStringLiteral("ANN"));
    }

    void cancelEndsTheProgram()
    {
        test::ScriptedPrompts prompts;
        WhenDialogOpens([](QWidget* dialog) {
            QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("UserNameEdit")),
                QStringLiteral("ann"));
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QCOMPARE(SignIn(test::TestStore()), QString());
        QVERIFY(prompts.Questions.isEmpty());
    }
};

VIMO_TEST_MAIN(TestSignIn, QApplication)
#include "TestSignIn.moc"
