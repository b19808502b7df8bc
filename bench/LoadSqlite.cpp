// Many copies of Vimo on one shared SQLite file, each a thread with its own connection
// through the data source "VIMO" (the SQLite ODBC driver with the data source's busy wait),
// in the pattern LoadPostgres.cpp describes: a poll every 20 s, the two queries for each new
// note, a deletion at the poll after, and now and then a post with the program's retry.
//   vimo_bench_copies LEVELS WINDOW_S POSTS_PER_HOUR
// At each level the load runs WINDOW_S seconds; then every copy posts at the same moment,
// as after a meeting, the worst case for the file's single writer. One "copies" row a level.

#include "Figures.h"
#include "VimoAdapter.h"

#include <sql.h>
#include <sqlext.h>

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
constexpr SQLINTEGER SqliteBusy = 5;
constexpr SQLINTEGER SqliteConstraint = 19;

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

class Copy {
public:
    Copy(int index, Figures& figures)
        : Random(unsigned(index) * 7919u)
        , Index(index)
        , Out(figures)
    {
        SQLAllocEnv(&Env);
        SQLAllocConnect(Env, &Dbc);
        char dsn[] = "VIMO";
        Connected = SQL_SUCCEEDED(
            SQLConnect(Dbc, reinterpret_cast<SQLCHAR*>(dsn), SQL_NTS, nullptr, 0, nullptr, 0));
        if (!Connected)
            Out.Count(Out.Refused);
    }
    ~Copy()
    {
        if (Connected)
            SQLDisconnect(Dbc);
        SQLFreeConnect(Dbc);
        SQLFreeEnv(Env);
    }

    // Runs a statement; rows get the first column of each row. Native code of the failure,
    // 0 on success.
    SQLINTEGER Run(const QString& statement, std::vector<std::string>* rows = nullptr)
    {
        SQLHSTMT handle = SQL_NULL_HSTMT;
        SQLAllocStmt(Dbc, &handle);
        QByteArray text = statement.toUtf8();
        const double start = NowMs();
        SQLRETURN rc = SQLExecDirect(handle, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
        SQLINTEGER native = 0;
        if (SQL_SUCCEEDED(rc)) {
            char value[300];
            SQLLEN length = 0;
            while (rows && SQL_SUCCEEDED(SQLFetch(handle))) {
                if (SQL_SUCCEEDED(SQLGetData(handle, 1, SQL_C_CHAR, value, sizeof value, &length)))
                    rows->emplace_back(length == SQL_NULL_DATA ? "" : value);
            }
        } else {
            SQLCHAR state[6] = {};
            SQLSMALLINT length = 0;
            SQLCHAR message[256];
            SQLGetDiagRec(
                SQL_HANDLE_STMT, handle, 1, state, &native, message, sizeof message, &length);
            if (native == 0)
                native = -1;
        }
        SQLFreeStmt(handle, SQL_DROP);
        Out.Add(Out.Statements, NowMs() - start);
        if (native == SqliteBusy)
            Out.Count(Out.Busy);
        else if (native != 0 && native != SqliteConstraint)
            Out.Count(Out.Errors);
        return native;
    }

    void Tick()
    {
        std::vector<std::string> rows;
        const double start = NowMs();
        if (Run(PollStatement(User()), &rows) != 0)
            return;
        Out.Add(Out.Polls, NowMs() - start);
        std::set<int> keys;
        for (const std::string& row : rows)
            keys.insert(std::atoi(row.c_str()));
        for (int key : Pending) {
            if (keys.count(key))
                Run(DeleteNoteStatement(key));
            Shown.erase(key);
        }
        Pending.clear();
        for (int key : keys) {
            if (Shown.insert(key).second) {
                Pending.insert(key);
                Run(UrgencyStatement(key), &rows);
                Run(NoteTextStatement(key), &rows);
            }
        }
    }

    // The program's post: next key, insert, and on a taken key the widening retry.
    bool Post(int copies)
    {
        std::uniform_int_distribution<int> anyone(0, copies - 1);
        const QString recipient
            = QStringLiteral("C%1").arg(anyone(Random), 5, 10, QLatin1Char('0'));
        for (int attempt = 1; attempt <= 8; ++attempt) {
            if (attempt > 1) {
                std::uniform_int_distribution<int> wait(0, (4 << std::min(attempt - 1, 4)) - 1);
                std::this_thread::sleep_for(std::chrono::milliseconds(wait(Random)));
            }
            std::vector<std::string> rows;
            if (Run(NextKeyStatement(), &rows) != 0)
                return false;
            const int largest = rows.empty() ? 0 : std::atoi(rows[0].c_str());
            const SQLINTEGER native = Run(PostNoteStatement(QStringLiteral("Lunch at one?"),
                recipient, User(), largest + (1 << (attempt - 1)), 1));
            if (native == 0) {
                Out.Count(Out.Posts);
                return true;
            }
            if (native != SqliteConstraint)
                return false;
            Out.Count(Out.Retries);
        }
        Out.Count(Out.GaveUp); // every key it tried was taken
        return false;
    }

    QString User() const { return QStringLiteral("C%1").arg(Index, 5, 10, QLatin1Char('0')); }

    bool Connected = false;
    std::mt19937 Random;

private:
    int Index;
    Figures& Out;
    SQLHENV Env = SQL_NULL_HENV;
    SQLHDBC Dbc = SQL_NULL_HDBC;
    std::set<int> Shown, Pending;
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
