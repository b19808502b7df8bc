#include "TestEnvironment.h"

#include "store/SqlHelpers.h"
#include "store/Statements.h"

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
        QCOMPARE(QueryFirstValue(UserLookupQuery(QStringLiteral("ANN"))), QStringLiteral("ANN"));
        QVERIFY(test::UseFreshStore());
        QCOMPARE(QueryFirstValue(UserLookupQuery(QStringLiteral("ANN"))), QString());
        QCOMPARE(QueryFirstValue(NextKeyQuery()), QString());
    }
};

VIMO_TEST_MAIN(TestStoreHarness, QCoreApplication)
#include "TestStoreHarness.moc"
