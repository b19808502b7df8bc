// Many copies of Vimo on one shared SQLite file, each a thread with its own link through the
// data source "VIMO" (the program's store: the SQLite ODBC driver with the data source's busy
// wait), in the pattern LoadPostgres.cpp describes: a poll every 20 s that reads the notes
// whole, their receipts, a deletion at the poll after, and now and then a post with the
// program's retry and the sender's record.
//   vimo_bench_copies LEVELS WINDOW_S POSTS_PER_HOUR
// At each level the load runs WINDOW_S seconds; then every copy posts at the same moment,
// as after a meeting, the worst case for the file's single writer. One "copies" row a level.

#include "Figures.h"
#include "VimoAdapter.h"

#include <QList>

#include <atomic>
#include <barrier>
#include <cstdio>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>

using namespace vimo::bench;

namespace {

constexpr int PollPeriodMs = 20000;
constexpr int SqliteBusy = 5;
constexpr int SqliteConstraint = 19;

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

// One copy: its own link, through the program's store, on the thread that made it.
class Copy {
public:
    Copy(int index, Figures& figures)
        : Random(std::mt19937::result_type(index) * 7919u)
        , Index(index)
        , Out(figures)
    {
        Connected = Link.Connected();
        if (!Connected)
            Out.Count(Out.Refused);
    }

    // One operation of the program's, timed; its refusal counted.
    template <class Operation> bool Timed(Operation operation)
    {
        const double start = NowMs();
        const bool done = operation();
        Out.Add(Out.Statements, NowMs() - start);
        if (Link.LastNative() == SqliteBusy)
            Out.Count(Out.Busy);
        else if (!done && Link.LastNative() != 0)
            Out.Count(Out.Errors);
        return done;
    }

    // The timed poll, as the program's: the notes read whole; the user deletes at this poll
    // what showed at the last one; the receipts of the notes that showed, stamped again at the
    // next poll.
    void Tick()
    {
        QList<NoteValues> rows;
        const double start = NowMs();
        if (!Timed([&] { return Link.Poll(User(), rows); }))
            return;
        Out.Add(Out.Polls, NowMs() - start);
        std::map<qint64, NoteValues> found;
        for (const NoteValues& row : rows)
            found[row.Key] = row;
        for (const auto& [key, note] : Pending) {
            // clang before 16 cannot capture a structured binding.
            if (found.contains(key))
                Timed([&, &note = note] { return Link.Delete(note); });
            Shown.erase(key);
        }
        Pending.clear();
        QList<NoteValues> shown;
        for (const auto& [key, note] : found) {
            if (Shown.insert(key).second) {
                Pending[key] = note;
                shown.append(note);
            }
        }
        for (const QList<NoteValues>& stamped : { LastShown, shown }) {
            if (!stamped.isEmpty())
                Timed([&] { return Link.RecordShown(stamped); });
        }
        LastShown = shown;
    }

    // The program's Send: next key and insert in one write transaction, the widening retry
    // on a taken key, then the sender's record.
    bool Post(int copies)
    {
        std::uniform_int_distribution<int> anyone(0, copies - 1);
        const QString recipient
            = QStringLiteral("C%1").arg(anyone(Random), 5, 10, QLatin1Char('0'));
        PostResult result;
        Timed([&] {
            result = Link.Post(User(), recipient, QStringLiteral("Lunch at one?"));
            return result.Stored;
        });
        for (int retry = 1; retry < result.Attempts; ++retry)
            Out.Count(Out.Retries);
        if (result.Stored)
            Out.Count(Out.Posts);
        else if (result.Attempts >= 8 && Link.LastNative() == SqliteConstraint)
            Out.Count(Out.GaveUp); // every key it tried was taken
        return result.Stored;
    }

    QString User() const { return QStringLiteral("C%1").arg(Index, 5, 10, QLatin1Char('0')); }

    bool Connected = false;
    std::mt19937 Random;

private:
    StoreCopy Link;
    int Index;
    Figures& Out;
    std::set<qint64> Shown;
    std::map<qint64, NoteValues> Pending;
    QList<NoteValues> LastShown;
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
        copies.reserve(size_t(count));
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
