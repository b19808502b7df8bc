#include "store/StoreWorker.h"

#include "store/Store.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QThread>

namespace vimo {
namespace {

Q_LOGGING_CATEGORY(WorkerLog, "vimo.worker", QtWarningMsg)

} // namespace

StoreWorker::StoreWorker(std::shared_ptr<Store> store)
    : State(std::make_shared<Shared>(std::move(store)))
    , Thread(new QThread)
    , WorkerSide(new QObject)
    , HomeSide(std::make_unique<QObject>())
{
    State->Home = HomeSide.get();
    Thread->setObjectName(QStringLiteral("StoreWorker"));
    // From here on the first job's thread is the link's.
    State->Link->ReleaseThread();
    WorkerSide->moveToThread(Thread);
    QObject::connect(Thread, &QThread::finished, WorkerSide, &QObject::deleteLater);
    // A thread left running by Finish goes once it ends, if this thread still has its loop.
    QObject::connect(Thread, &QThread::finished, Thread, &QObject::deleteLater);
    Thread->start();
}

StoreWorker::~StoreWorker()
{
    Finish();
    // The answers on their way go with the home side; a late job's answer finds nobody.
    const std::lock_guard lock(State->Lock);
    State->Home = nullptr;
}

void StoreWorker::Enqueue(Task task)
{
    if (Finishing)
        return;
    ++State->Outstanding;
    QMetaObject::invokeMethod(
        WorkerSide, [state = State, task = std::move(task)] { task(*state->Link); },
        Qt::QueuedConnection);
}

void StoreWorker::Deliver(Shared& state, std::function<void()> answer)
{
    const std::lock_guard lock(state.Lock);
    if (state.Home != nullptr)
        QMetaObject::invokeMethod(state.Home, std::move(answer), Qt::QueuedConnection);
}

void StoreWorker::CallBlocking(const Task& task)
{
    if (Finishing) {
        task(*State->Link);
        return;
    }
    QMetaObject::invokeMethod(
        WorkerSide, [this, &task] { task(*State->Link); }, Qt::BlockingQueuedConnection);
}

bool StoreWorker::Finish(int waitMs)
{
    if (Finishing)
        return EndedInTime;
    Finishing = true;
    // Behind every job asked so far: the link goes back, then the thread ends.
    QMetaObject::invokeMethod(
        WorkerSide,
        [state = State] {
            state->Link->ReleaseThread();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    EndedInTime = Thread->wait(QDeadlineTimer(waitMs));
    if (!EndedInTime) {
        // Destroying a QThread that runs would end the program; it is left to end by itself.
        qCWarning(
            WorkerLog, "the store still answers no job after %d ms; leaving it behind", waitMs);
        return false;
    }
    // Its deleteLater, queued when it finished, goes with it.
    delete Thread;
    return true;
}

} // namespace vimo
