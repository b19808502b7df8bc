#include "TestEnvironment.h"

#include "model/TextRules.h"
#include "store/Statements.h"
#include "store/StoreSql.h"
#include "store/StoreWorker.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSemaphore>
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
        StoreWorker& worker = test::TestWorker();
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
        const auto store = std::make_shared<Store>();
        QVERIFY(store->Connect().Succeeded());
        auto worker = std::make_unique<StoreWorker>(store);
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
        QCOMPARE(StoreSql(*store).FirstValue(QStringLiteral("SELECT COUNT(*) FROM MSGS")).Value,
            QStringLiteral("6"));
        worker.reset();
    }

    // Quit while the store hangs: the job ends later, on a store that nobody else holds.
    void aJobLeftRunningAtTheEndKeepsWhatItUses()
    {
        auto store = std::make_shared<Store>();
        QVERIFY(store->Connect().Succeeded());
        auto worker = std::make_unique<StoreWorker>(store);
        auto started = std::make_shared<QSemaphore>();
        auto gate = std::make_shared<QSemaphore>();
        QPointer<QThread> thread;
        bool answered = false;
        worker->Run(
            [started, gate, &thread](Store& store) {
                thread = QThread::currentThread();
                started->release();
                gate->acquire();
                return StoreSql(store).Exec(Insert(1)).Succeeded();
            },
            this, [&answered](bool) { answered = true; });
        started->acquire();
        QVERIFY(!worker->Finish(50));
        worker.reset();
        store.reset();
        gate->release();
        QTRY_VERIFY(!thread); // gone by itself once its jobs were done
        QVERIFY(!answered);
        QCOMPARE(
            test::FirstValue(QStringLiteral("SELECT COUNT(*) FROM MSGS")), QStringLiteral("1"));
    }
};

VIMO_TEST_MAIN(TestStoreWorker, QCoreApplication)
#include "TestStoreWorker.moc"
