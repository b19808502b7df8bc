#include "wakeup/LookupThreads.h"

#include <QMetaObject>

#include <chrono>
#include <utility>

namespace vimo {

LookupThreads::LookupThreads(QObject* parent)
    : QObject(parent)
    , State(std::make_shared<Shared>())
{
    State->Owner = this;
}

LookupThreads::~LookupThreads()
{
    std::unique_lock<std::mutex> lock(State->Lock);
    State->Ended.wait_for(lock, std::chrono::milliseconds(ShutdownWaitMs),
        [state = State.get()] { return state->Running == 0; });
    State->Owner = nullptr;
    lock.unlock();
    for (Worker& worker : Workers) {
        // WORKAROUND: getaddrinfo cannot be interrupted; a thread it still holds keeps only
        // the shared state alive and ends with the process.
        if (*worker.Done)
            worker.Thread.join();
        else
            worker.Thread.detach();
    }
}

void LookupThreads::Run(std::function<void()> job)
{
    JoinEnded();
    {
        const std::lock_guard<std::mutex> guard(State->Lock);
        ++State->Running;
    }
    Worker& worker = Workers.emplace_back();
    worker.Done = std::make_shared<std::atomic<bool>>(false);
    worker.Thread = std::thread([state = State, done = worker.Done, job = std::move(job)] {
        job();
        const std::lock_guard<std::mutex> guard(state->Lock);
        done->store(true);
        --state->Running;
        state->Ended.notify_all();
        if (LookupThreads* owner = state->Owner)
            QMetaObject::invokeMethod(owner, &LookupThreads::JoinEnded, Qt::QueuedConnection);
    });
}

int LookupThreads::Running() const
{
    const std::lock_guard<std::mutex> guard(State->Lock);
    return State->Running;
}

void LookupThreads::JoinEnded()
{
    for (auto at = Workers.begin(); at != Workers.end();) {
        if (*at->Done) {
            at->Thread.join();
            at = Workers.erase(at);
        } else {
            ++at;
        }
    }
}

} // namespace vimo
