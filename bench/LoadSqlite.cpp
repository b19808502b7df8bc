// Many copies of Vimo on one shared SQLite file, each a thread with its own connection
// through the data source "VIMO" (the SQLite ODBC driver with the data source's busy wait),
// in the pattern LoadPostgres.cpp describes: a poll every 20 s, a deletion at the poll after,
// and now and then a post with the program's retry, each through the program's own operations.
//   vimo_bench_copies LEVELS WINDOW_S POSTS_PER_HOUR
// At each level the load runs WINDOW_S seconds; then every copy posts at the same moment,
// as after a meeting, the worst case for the file's single writer. One "copies" row a level.

#include "Figures.h"
#include "VimoAdapter.h"

#include <atomic>
#include <barrier>
#include <cstdio>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>

using namespace vimo::bench;

namespace {

constexpr int PollPeriodMs = 20000;

struct Figures {
    std::mutex Lock;
    std::vector<double> Polls;
    std::vector<double> Statements;
    std::vector<double> BurstPosts;
    int Busy = 0, Errors = 0, Posts = 0, Retries = 0, BurstFailed = 0, Refused = 0, GaveUp = 0;

    void Add(std::vector<double>& samples, double value)
    {
        std::lock_guard guard(Lock);
        samples.push_back(value);
    }
    void Count(int& counter)
    {
        std::lock_guard guard(Lock);
        ++counter;
    }
};

// One copy: a thread with its own link, running the program's own operations on it.
class Copy {
public:
    Copy(int index, Figures& figures)
        : Random(unsigned(index) * 7919u)
        , Index(index)
        , Out(figures)
    {
        Connected = Link.Connected();
        if (!Connected)
            Out.Count(Out.Refused);
    }

    // Counts an operation's time and outcome, as the copy's statements.
    StoreCopy::Outcome Count(StoreCopy::Outcome outcome, double start)
    {
        Out.Add(Out.Statements, NowMs() - start);
        if (outcome == StoreCopy::Outcome::Busy)
            Out.Count(Out.Busy);
        else if (outcome == StoreCopy::Outcome::Failed)
            Out.Count(Out.Errors);
        return outcome;
    }

    void Tick()
    {
        QList<qint64> keys;
        const double start = NowMs();
        if (Count(Link.Poll(User(), keys), start) != StoreCopy::Outcome::Done)
            return;
        Out.Add(Out.Polls, NowMs() - start);
        for (qint64 key : Pending) {
            if (keys.contains(key)) {
                const double deleteStart = NowMs();
                Count(Link.Delete(key), deleteStart);
            }
            Shown.erase(key);
        }
        Pending.clear();
        for (qint64 key : keys) {
            if (Shown.insert(key).second)
                Pending.insert(key);
        }
    }

    // The program's post: next key, insert, and on a taken key the widening retry.
    bool Post(int copies)
    {
        std::uniform_int_distribution<int> anyone(0, copies - 1);
        const QString recipient
            = QStringLiteral("C%1").arg(anyone(Random), 5, 10, QLatin1Char('0'));
        const double start = NowMs();
        const StoreCopy::Posted posted
            = Link.Post(User(), recipient, QStringLiteral("Lunch at one?"));
        Out.Add(Out.Statements, NowMs() - start);
        for (int retry = 1; retry < posted.Attempts; ++retry)
            Out.Count(Out.Retries);
        if (posted.Result == StoreCopy::Outcome::Done) {
            Out.Count(Out.Posts);
            return true;
        }
        if (posted.GaveUp)
            Out.Count(Out.GaveUp);
        else if (posted.Result == StoreCopy::Outcome::Busy)
            Out.Count(Out.Busy);
        else
            Out.Count(Out.Errors);
        return false;
    }

    QString User() const { return QStringLiteral("C%1").arg(Index, 5, 10, QLatin1Char('0')); }

    bool Connected = false;
    std::mt19937 Random;

private:
    StoreCopy Link;
    int Index;
    Figures& Out;
    std::set<qint64> Shown, Pending;
};

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s LEVELS WINDOW_S POSTS_PER_HOUR\n", argv[0]);
        return 2;
    }
    const double windowMs = std::atof(argv[2]) * 1000;
    const double postChance = std::atof(argv[3]) * PollPeriodMs / 3600000.0;
    std::istringstream levels(argv[1]);
    for (std::string level; std::getline(levels, level, ',');) {
        const int count = std::stoi(level);
        Figures figures;
        std::atomic<double> burstAt { 0 };
        std::barrier ready(count + 1);
        std::vector<std::thread> copies;
        for (int index = 0; index < count; ++index) {
            copies.emplace_back([&, index] {
                Copy copy(index, figures);
                ready.arrive_and_wait(); // all connected
                ready.arrive_and_wait(); // the clock started
                const double start = NowMs();
                std::uniform_real_distribution<double> phase(0, PollPeriodMs);
                std::uniform_real_distribution<double> chance(0, 1);
                double next = start + phase(copy.Random);
                while (copy.Connected && next < start + windowMs) {
                    std::this_thread::sleep_for(
                        std::chrono::duration<double, std::milli>(next - NowMs()));
                    copy.Tick();
                    if (chance(copy.Random) < postChance)
                        copy.Post(count);
                    next += PollPeriodMs;
                }
                ready.arrive_and_wait(); // the window is over
                while (NowMs() < burstAt.load())
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                if (copy.Connected) {
                    const double postStart = NowMs();
                    if (!copy.Post(count))
                        figures.Count(figures.BurstFailed);
                    figures.Add(figures.BurstPosts, NowMs() - postStart);
                }
            });
        }
        ready.arrive_and_wait();
        ready.arrive_and_wait();
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(windowMs));
        ready.arrive_and_wait();
        const int busyInWindow = figures.Busy, errorsInWindow = figures.Errors,
                  postsInWindow = figures.Posts;
        const std::vector<double> polls = figures.Polls, statements = figures.Statements;
        burstAt = NowMs() + 200;
        for (std::thread& copy : copies)
            copy.join();
        Row("copies", count, figures.Refused, int(polls.size()), Percentile(polls, 0.5),
            Percentile(polls, 0.99), Percentile(statements, 0.99), busyInWindow, errorsInWindow,
            postsInWindow, figures.BurstFailed, figures.Busy - busyInWindow,
            Percentile(figures.BurstPosts, 0.5), Percentile(figures.BurstPosts, 1.0),
            figures.GaveUp);
    }
    return 0;
}
