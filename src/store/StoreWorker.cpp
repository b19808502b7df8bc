#include "store/StoreWorker.h"

#include "store/Store.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QThread>

namespace vimo {
namespace {

Q_LOGGING_CATEGORY(WorkerLog, "vimo.worker", QtWarningMsg)

} // namespace

StoreWorker::StoreWorker(Store& store)
    : Link(store)
    , Thread(new QThread)
    , WorkerSide(new QObject)
    , HomeSide(std::make_unique<QObject>())
{
    Thread->setObjectName(QStringLiteral("StoreWorker"));
    // From here on the first job's thread is the link's.
    Link.ReleaseThread();
    WorkerSide->moveToThread(Thread);
    Thread->start();
}

StoreWorker::~StoreWorker()
{
    Finish();
}

void StoreWorker::Enqueue(Task task)
{
    if (Finished)
        return;
    QMetaObject::invokeMethod(
        WorkerSide, [this, task = std::move(task)] { task(Link); }, Qt::QueuedConnection);
}

void StoreWorker::Deliver(std::function<void()> answer)
{
    QMetaObject::invokeMethod(HomeSide.get(), std::move(answer), Qt::QueuedConnection);
}

void StoreWorker::CallBlocking(const Task& task)
{
    if (Finished) {
        task(Link);
        return;
    }
    QMetaObject::invokeMethod(
        WorkerSide, [this, &task] { task(Link); }, Qt::BlockingQueuedConnection);
}

bool StoreWorker::Finish(int waitMs)
{
    if (Finished)
        return true;
    Finished = true;
    // Behind every job asked so far: the link goes back, then the thread ends.
    QMetaObject::invokeMethod(
        WorkerSide,
        [this] {
            Link.ReleaseThread();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    if (!Thread->wait(QDeadlineTimer(waitMs))) {
        qCWarning(
            WorkerLog, "the store still answers no job after %d ms; leaving it behind", waitMs);
        return false;
    }
    delete WorkerSide;
    delete Thread;
    return true;
}

} // namespace vimo
