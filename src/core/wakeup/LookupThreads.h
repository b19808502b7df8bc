#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace vimo {

// The threads that wait on the system's resolver, owned by the program: a name server that
// does not answer holds a lookup for many seconds, and nothing else may wait for it. Each job
// runs on a thread of its own, joined on the owner's thread as soon as it ends, so an idle
// copy holds none. Shutdown waits for the jobs still running up to ShutdownWaitMs; a thread
// still held by the resolver after that is left to end with the process.
class LookupThreads : public QObject {
    Q_OBJECT

public:
    static constexpr int ShutdownWaitMs = 1000;

    explicit LookupThreads(QObject* parent = nullptr);
    ~LookupThreads() override;

    void Run(std::function<void()> job);
    int Running() const;

private:
    struct Worker {
        std::thread Thread;
        // Shared with the thread, which may outlive this list at shutdown.
        std::shared_ptr<std::atomic<bool>> Done;
    };
    struct Shared {
        mutable std::mutex Lock;
        std::condition_variable Ended;
        int Running = 0;
        // Cleared at shutdown, under the lock, so that no thread calls back after.
        LookupThreads* Owner = nullptr;
    };

    void JoinEnded();

    std::list<Worker> Workers;
    const std::shared_ptr<Shared> State;
};

} // namespace vimo
