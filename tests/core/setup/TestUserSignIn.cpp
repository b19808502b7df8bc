#include "TestEnvironment.h"

#include "setup/UserSignIn.h"
#include "store/OfficeTable.h"
#include "store/Statements.h"
#include "store/StoreWorker.h"

#include <QTest>

using namespace vimo;
using namespace Qt::StringLiterals;
using Next = SignInVerdict::Next;

// The rules of signing in, apart from the dialog that shows their verdicts.
class TestUserSignIn : public QObject {
    Q_OBJECT

    static bool IsKnown(const QString& name)
    {
        return !test::FirstValue(UserLookupQuery(name)).isEmpty();
    }

private Q_SLOTS:
    void init()
    {
        test::UseFreshSqliteStore();
        test::MustExec(AddUserStatement(u"ANN"_s));
        test::TestWorker().Call([](Store& store) {
            OfficeTable office(store);
            QVERIFY(
                office.Create().isEmpty() && office.SetGroup(u"SALES"_s, { u"ANN"_s }).Succeeded());
        });
    }

    void aNameIsTakenOnlyByTheRules_data()
    {
        test::Columns<bool, QString, int, QString>("bound", "name", "step", "alert");
        const QString group = u"%1 is the name of a group; choose another user name."_s;
        const QString role = u"The database role %1 cannot be a Vimo name: a name has at most 15 "
                             u"characters and no small letters. Ask the administrator for a role "
                             u"named as your colleagues write to you."_s;
        const int refused = int(Next::Refused);
        QTest::addRow("known") << false << u"ANN"_s << int(Next::SignedIn) << QString();
        QTest::addRow("new, asked about") << false << u"ZED"_s << int(Next::AskToAdd) << QString();
        QTest::addRow("a group's, blanks cut")
            << false << u"SALES "_s << refused << group.arg(u"SALES"_s);
        QTest::addRow("everyone's group") << false << u"ALL"_s << refused << group.arg(u"ALL"_s);
        QTest::addRow("a role in small letters")
            << true << u"ann"_s << refused << role.arg(u"ann"_s);
        QTest::addRow("a role longer than a name")
            << true << u"ABCDEFGHIJKLMNOP"_s << refused << role.arg(u"ABCDEFGHIJKLMNOP"_s);
    }

    void aNameIsTakenOnlyByTheRules()
    {
        QFETCH(bool, bound);
        QFETCH(QString, name);
        QFETCH(int, step);
        QFETCH(QString, alert);
        std::optional<SignInVerdict> verdict
            = bound ? BoundRoleRefused(name) : TypedNameRefused(name);
        if (!verdict && !bound)
            verdict = test::TestWorker().Call(
                [name](Store& store) { return CheckTypedName(store, name); });
        QVERIFY(verdict && !verdict->Failure);
        QCOMPARE(int(verdict->Step), step);
        QCOMPARE(verdict->Alert, alert);
        // Nothing is written before the user has said yes.
        QCOMPARE(IsKnown(name), name == u"ANN"_s);
    }

    void eachLoginIsAnsweredOnceAndNoneAfterACancel()
    {
        UserSignIn signIn(test::TestWorker());
        QList<SignInVerdict> verdicts;
        connect(&signIn, &UserSignIn::Settled, this,
            [&verdicts](const SignInVerdict& verdict) { verdicts.append(verdict); });
        // Pressed before the store has said whether it binds a role: runs once it has.
        signIn.Start();
        signIn.Login(u"ZED"_s);
        QVERIFY(test::Settled() && signIn.IsRoleKnown());
        QCOMPARE(verdicts.size(), 1);
        // A second Login while the first runs is not another one.
        signIn.Login(u"ZED"_s);
        signIn.Login(u"ANN"_s);
        QVERIFY(test::Settled());
        QCOMPARE(verdicts.size(), 2);
        QCOMPARE(verdicts[1].Name, u"ZED"_s);
        signIn.Login(u"ANN"_s);
        signIn.Cancel();
        signIn.Add(u"ZED"_s);
        QVERIFY(test::Settled());
        QCOMPARE(verdicts.size(), 3);
        QVERIFY(IsKnown(u"ZED"_s));
    }
};

VIMO_TEST_MAIN(TestUserSignIn, QCoreApplication)
#include "TestUserSignIn.moc"
