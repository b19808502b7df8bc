#include "TestEnvironment.h"

#include "model/TextRules.h"
#include "store/Statements.h"
#include "store/StoreSql.h"
#include "store/StoreWorker.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <memory>
#include <tuple>

using namespace vimo;

namespace {

SqlStatement Insert(int key)
{
    return PostStatement(QString::number(key), QStringLiteral("ANN"), QStringLiteral("BOB"),
        QStringLiteral("20261207"), key, u'1');
}

} // namespace

// The thread that holds the link: the order of jobs and answers, where they run, and the
// hand-over at the end.
class TestStoreWorker : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { test::UseFreshSqliteStore(); }

    void jobsRunInTheOrderAskedOnOneOtherThreadAndAnswerInThatOrder()
    {
        StoreWorker worker(test::TestStore());
        QObject context;
        QList<int> answered;
        QList<QThread*> ranOn;
        for (int key = 1; key <= 20; ++key) {
            if (key == 10) // nobody waits for it, yet it keeps its place
                worker.Post([](Store& store) { std::ignore = StoreSql(store).Exec(Insert(100)); });
            worker.Run(
                [key](Store& store) {
                    std::ignore = StoreSql(store).Exec(Insert(key));
                    return QThread::currentThread();
                },
                &context,
                [&, key](QThread* thread) {
                    QCOMPARE(QThread::currentThread(), QCoreApplication::instance()->thread());
                    answered.append(key);
                    ranOn.append(thread);
                });
        }
        QVERIFY(worker.IsBusy());
        QTRY_VERIFY(!worker.IsBusy());
        QCOMPARE(answered.size(), 20);
        QVERIFY(std::is_sorted(answered.begin(), answered.end()));
        QVERIFY(ranOn.first() != QThread::currentThread());
        QCOMPARE(ranOn.count(ranOn.first()), 20);
        const QStringList keys = worker.Call([](Store& store) {
            return StoreSql(store)
                .ColumnValues(QStringLiteral("SELECT TKEY FROM MSGS ORDER BY DT, ROWID"))
                .Value;
        });
        QCOMPARE(keys.indexOf(QStringLiteral("100")), 9);
    }

    void anAnswerWhoseReceiverWentIsDroppedAndTheLinkComesBackAtTheEnd()
    {
        auto worker = std::make_unique<StoreWorker>(test::TestStore());
        auto receiver = std::make_unique<QObject>();
        bool answered = false;
        for (int key = 1; key <= 5; ++key)
            worker->Post([key](Store& store) { std::ignore = StoreSql(store).Exec(Insert(key)); });
        worker->Run([](Store& store) { return StoreSql(store).Exec(Insert(6)).Succeeded(); },
            receiver.get(), [&answered](bool) { answered = true; });
        receiver.reset();
        // Quit: what was asked runs first, then this thread may use the link again.
        QVERIFY(worker->Finish());
        QCoreApplication::processEvents();
        QVERIFY(!answered);
        QCOMPARE(
            test::FirstValue(QStringLiteral("SELECT COUNT(*) FROM MSGS")), QStringLiteral("6"));
        worker.reset();
    }
};

VIMO_TEST_MAIN(TestStoreWorker, QCoreApplication)
#include "TestStoreWorker.moc"
