#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

class QThread;

namespace vimo {

class Store;

// The one thread that talks to the store. It owns the link from its start to Finish and runs
// every job in the order it was asked; the answers come back to the thread that made the
// worker (the GUI thread), also in order. So a store that hangs keeps only this thread
// waiting, never the desktop. The store itself stays synchronous: tools and tests use it
// directly while no worker holds it.
//
// A job touches only what it holds itself: the store and the worker's queue state are shared
// with it, so a job that is still running when the worker goes (a store that does not answer
// at Quit) finishes safely later; its answer, and every later one, is then dropped.
class StoreWorker {
public:
    // How long Finish waits, at Quit, for the jobs already asked: deletions above all.
    static constexpr int FinishWaitMs = 5000;

    // Takes the store over; the thread that made the worker must not touch it until Finish.
    explicit StoreWorker(std::shared_ptr<Store> store);
    // Finishes, waiting at most FinishWaitMs.
    ~StoreWorker();
    Q_DISABLE_COPY_MOVE(StoreWorker)

    // Runs job(Store&) on the worker; done(result) then runs on this thread, unless context
    // or the worker is gone by then.
    template <class Job, class Done> void Run(Job job, QObject* context, Done done)
    {
        using Result = std::invoke_result_t<Job&, Store&>;
        Enqueue([state = State, job = std::move(job), guard = QPointer<QObject>(context),
                    done = std::move(done)](Store& store) mutable {
            auto result = std::make_shared<Result>(job(store));
            Deliver(*state, [state, guard, done = std::move(done), result]() mutable {
                --state->Outstanding;
                if (guard)
                    done(std::move(*result));
            });
        });
    }

    // Runs job(Store&) on the worker; nobody waits for it.
    template <class Job> void Post(Job job)
    {
        Enqueue([state = State, job = std::move(job)](Store& store) mutable {
            job(store);
            Deliver(*state, [state] { --state->Outstanding; });
        });
    }

    // Runs job(Store&) on the worker after every job asked before it, and returns its result;
    // this thread waits meanwhile. For start-up and tests, where nothing else could be shown
    // anyway.
    template <class Job> auto Call(Job job) -> std::invoke_result_t<Job&, Store&>
    {
        using Result = std::invoke_result_t<Job&, Store&>;
        if constexpr (std::is_void_v<Result>) {
            CallBlocking([&job](Store& store) { job(store); });
        } else {
            std::optional<Result> result;
            CallBlocking([&job, &result](Store& store) { result.emplace(job(store)); });
            return std::move(*result);
        }
    }

    // True while a job asked from this thread waits, runs, or has its answer on the way.
    bool IsBusy() const { return State->Outstanding > 0; }

    // Lets the jobs asked so far run, waiting at most waitMs, then ends the thread and hands
    // the store back to this thread. False when a job still runs after the wait: the thread
    // is then left to end by itself once its jobs are done, and takes nothing asked later.
    bool Finish(int waitMs = FinishWaitMs);

private:
    // What the worker shares with its jobs.
    struct Shared {
        explicit Shared(std::shared_ptr<Store> link)
            : Link(std::move(link))
        {
        }
        const std::shared_ptr<Store> Link;
        // Where answers go; null once the worker is gone. Read on the worker's thread.
        std::mutex Lock;
        QObject* Home = nullptr;
        // Touched on the home thread only.
        int Outstanding = 0;
    };
    using Task = std::function<void(Store&)>;
    void Enqueue(Task task);
    static void Deliver(Shared& state, std::function<void()> answer);
    void CallBlocking(const Task& task);

    const std::shared_ptr<Shared> State;
    QThread* Thread;
    // Lives in the worker thread: queued calls to it run there, one after another.
    QObject* WorkerSide;
    // Lives in this thread: answers queued to it run here, and go with it.
    const std::unique_ptr<QObject> HomeSide;
    bool Finishing = false;
    bool EndedInTime = false;
};

} // namespace vimo
