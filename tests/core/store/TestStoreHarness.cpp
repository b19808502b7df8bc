#include "TestEnvironment.h"

#include "store/Statements.h"
#include "store/UserTable.h"

#include <QTest>

using namespace vimo;

// The test harness itself: a fresh store of either kind has both tables and nothing in them.
class TestStoreHarness : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void freshStoresAreEmptyAndSeparate()
    {
        QVERIFY(test::UseFreshStore());
        test::MustExec(AddUserStatement(QStringLiteral("ANN")));
        QCOMPARE(test::FirstValue(UserLookupQuery(QStringLiteral("ANN"))), QStringLiteral("ANN"));
        QVERIFY(test::UseFreshStore());
        QCOMPARE(test::FirstValue(UserLookupQuery(QStringLiteral("ANN"))), QString());
        QCOMPARE(test::FirstValue(NextKeyQuery()), QString());
    }

    // Nothing process-wide holds the link: a second store object keeps its own while the
    // test's store moves on to another file.
    void twoStoresKeepTheirOwnLinks()
    {
        if (test::StoreKind() != QLatin1String("sqlite"))
            QSKIP("one SQLite file for each store");
        test::UseFreshSqliteStore();
        test::MustExec(AddUserStatement(QStringLiteral("ANN")));
        Store first;
        QVERIFY(first.Connect().Succeeded());
        test::UseFreshSqliteStore();
        QVERIFY(UserTable(first).IsKnown(QStringLiteral("ANN")).Value);
        QVERIFY(!UserTable(test::TestStore()).IsKnown(QStringLiteral("ANN")).Value);
        first.Close();
        QVERIFY(!first.IsConnected() && test::TestStore().IsConnected());
    }
};

VIMO_TEST_MAIN(TestStoreHarness, QCoreApplication)
#include "TestStoreHarness.moc"
