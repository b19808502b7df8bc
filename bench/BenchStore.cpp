// The store side of the suite. Each mode prints tab-separated rows for bench/suite.py.
//   vimo_bench_store queries STORE SIZES RUNS      the poll, the next key and a deletion, ODBC
//                                                  against the C API
//   vimo_bench_store post STORE VIA SECONDS START  one poster (VIA odbc or capi) until time
//   vimo_bench_store make STORE NOTES USER         a store whose NOTES notes are all for USER
//   vimo_bench_store poll-loop POLLS USER CHURN    the program's poll, in process, memory
//   vimo_bench_store window-loop WINDOWS           the reference: plain windows come and go
// STORE is sqlite:PATH or postgres:CONNINFO; the data source "VIMO" (ODBCINI) must name the
// same store.

#include "Engines.h"
#include "Figures.h"
#include "StoreData.h"
#include "VimoAdapter.h"

#include <QApplication>
#include <QLabel>
#include <QRandomGenerator>
#include <QThread>
#include <QWidget>

#include <cstdio>
#include <deque>
#include <functional>
#include <thread>

using namespace vimo::bench;

namespace {

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

struct Timing {
    std::vector<double> Odbc;
    std::vector<double> Engine;
};

// Runs each query on both paths in turn, so that both see the same machine at the same time.
Timing TimeBoth(int runs, const std::function<QString(int)>& statement,
    const std::function<bool(const QString&)>& odbc, Engine& engine,
    const std::function<bool(const std::vector<std::string>&)>& expected)
{
    Timing timing;
    std::vector<std::string> values;
    for (int run = -3; run < runs; ++run) {
        const QString text = statement(run + 3);
        const std::string plain = Utf8(text);
        double start = NowMs();
        const bool odbcRight = odbc(text);
        const double odbcMs = NowMs() - start;
        values.clear();
        start = NowMs();
        engine.Run(plain, &values);
        const double engineMs = NowMs() - start;
        if (!odbcRight || !expected(values)) {
            std::fprintf(stderr, "wrong result for %s (odbc %d, engine %zu rows)\n", plain.c_str(),
                int(odbcRight), values.size());
            std::exit(1);
        }
        if (run >= 0) { // the first three warm caches
            timing.Odbc.push_back(odbcMs);
            timing.Engine.push_back(engineMs);
        }
    }
    return timing;
}

// The program's deletion of one note (the whole row) against the same statement through the C
// API, interleaved; after each the row is put back, untimed.
Timing TimeDeletes(int runs, Engine& engine, const std::function<int(int)>& anyKey)
{
    Timing timing;
    for (int run = -3; run < runs; ++run) {
        const int key = anyKey(run + 3);
        std::vector<std::string> found;
        engine.Run("SELECT TKEY,SENDER,DT,URGENCY,MSG,RECIPIENT FROM MSGS WHERE TKEY="
                + std::to_string(key),
            &found);
        if (found.size() != 6) {
            std::fprintf(stderr, "no note %d to delete\n", key);
            std::exit(1);
        }
        auto cut = [](const std::string& text) {
            return QString::fromStdString(text.substr(0, text.find_last_not_of(' ') + 1));
        };
        const NoteValues note { key, cut(found[5]), cut(found[1]), cut(found[2]), cut(found[3]),
            cut(found[4]) };
        const std::string insert = Utf8(InsertStatement(note));
        const std::string gone = "SELECT COUNT(*) FROM MSGS WHERE TKEY=" + std::to_string(key);
        double start = NowMs();
        const bool odbcRight = DeleteRow(note);
        const double odbcMs = NowMs() - start;
        const bool odbcGone = engine.Value(gone) == "0";
        engine.Run(insert);
        start = NowMs();
        engine.Run(Utf8(DeleteRowStatement(note)));
        const double engineMs = NowMs() - start;
        const bool engineGone = engine.Value(gone) == "0";
        if (!odbcRight || !odbcGone || !engineGone || !engine.Run(insert)) {
            std::fprintf(stderr, "wrong deletion of note %d (odbc %d %d, engine %d)\n", key,
                int(odbcRight), int(odbcGone), int(engineGone));
            std::exit(1);
        }
        if (run >= 0) {
            timing.Odbc.push_back(odbcMs);
            timing.Engine.push_back(engineMs);
        }
    }
    return timing;
}

void PrintTiming(const std::string& store, int notes, const char* indexes, const char* query,
    const Timing& timing)
{
    Row("query", store, notes, indexes, query, Percentile(timing.Odbc, 0.5),
        Percentile(timing.Odbc, 0.99), Percentile(timing.Engine, 0.5),
        Percentile(timing.Engine, 0.99), int(timing.Odbc.size()));
}

int Queries(const std::string& where, const QStringList& sizes, int runs)
{
    const bool postgres = IsPostgres(where);
    const std::string store = postgres ? "postgres" : "sqlite";
    auto engine = Engine::Open(where);
    if (!engine)
        return 1;
    for (const QString& size : sizes) {
        const int notes = size.toInt();
        CloseStore();
        const double fillStart = NowMs();
        if (!FillStore(*engine, postgres, notes, true))
            return 1;
        Row("fill", store, notes, (NowMs() - fillStart) / 1000);
        if (!ConnectStore()) {
            std::fprintf(stderr, "cannot connect to the data source VIMO\n");
            return 1;
        }
        quint32 seed = 7;
        auto anyKey = [&](int) {
            seed = seed * 1103515245u + 12345u;
            return int(seed % quint32(notes)) + 1;
        };
        // A store made by this version, the same store made before the indexes existed, and
        // that store after one start of this version.
        for (const char* indexes : { "yes", "no", "upgraded" }) {
            const bool old = indexes[0] == 'n';
            if (old && !DropIndexes(*engine, postgres))
                return 1;
            if (indexes[0] == 'u') {
                const double upgradeStart = NowMs();
                UpgradeStore();
                Row("upgrade", store, notes, NowMs() - upgradeStart);
            }
            // Without indexes every query reads the whole table: fewer runs do.
            const int count = old ? std::max(10, runs / 10) : runs;
            // The program's poll reads every note of the user whole: ten of them.
            QString polled;
            PrintTiming(store, notes, indexes, "poll",
                TimeBoth(
                    count,
                    [&](int run) {
                        polled = UserName(run % ActiveUsers);
                        return PollStatement(polled);
                    },
                    [&](const QString&) { return PollRows(polled) == 10; }, *engine,
                    [](const auto& values) { return values.size() == 10 * 5; }));
            PrintTiming(store, notes, indexes, "next key",
                TimeBoth(
                    count, [](int) { return NextKeyStatement(); },
                    [&](const QString& text) { return QueryValue(text).toInt() == notes; }, *engine,
                    [&](const auto& values) {
                        return values.size() == 1 && std::stoi(values[0]) == notes;
                    }));
            PrintTiming(store, notes, indexes, "delete", TimeDeletes(count, *engine, anyKey));
        }
    }
    CloseStore();
    return 0;
}

// One copy posting notes as fast as it can: through the program's Send (odbc), or the same
// statements and the same retry through the engine's C API (capi).
int Post(const std::string& where, const std::string& via, double seconds, double startAtMs)
{
    const bool postgres = IsPostgres(where);
    const QString sender = QStringLiteral("P%1").arg(QCoreApplication::applicationPid());
    std::unique_ptr<Engine> engine;
    QStringList alerts;
    if (via == "capi") {
        engine = Engine::Open(where);
        if (!engine)
            return 1;
    } else {
        OnAlert([&](const QString& text) { alerts.append(text); });
        if (!ConnectStore())
            return 1;
    }
    using Clock = std::chrono::system_clock;
    auto epochMs = [] {
        return double(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
                .count());
    };
    while (epochMs() < startAtMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    int stored = 0, retries = 0, failed = 0;
    std::vector<double> latencies;
    const double end = NowMs() + seconds * 1000;
    while (NowMs() < end) {
        const double start = NowMs();
        const QString text = QStringLiteral("Lunch at one? %1").arg(stored);
        if (engine) {
            // What the program sends: on SQLite the next key and the insert in one transaction
            // that holds the write lock; then the sender's record.
            int attempt = 1;
            for (;; ++attempt) {
                if (attempt > 1) // the program's wait before a retry
                    QThread::msleep(
                        QRandomGenerator::global()->bounded(4 << std::min(attempt - 1, 4)));
                if (!postgres && !engine->Run(Utf8(BeginWriteSqlStatement()))) {
                    ++failed;
                    break;
                }
                const int largest = std::atoi(engine->Value(Utf8(NextKeyStatement())).c_str());
                const NoteValues note = NewNote(
                    text, QStringLiteral("USER001"), sender, largest + (1 << (attempt - 1)), 1);
                const bool inserted = engine->Run(Utf8(InsertStatement(note)));
                const Engine::Failure why = engine->LastFailure();
                if (!postgres)
                    engine->Run(inserted ? Utf8(CommitSqlStatement()) : "ROLLBACK");
                if (inserted) {
                    for (const QString& statement : SentRecordStatements(note))
                        engine->Run(Utf8(statement));
                    ++stored;
                    break;
                }
                if (why != Engine::Failure::DuplicateKey || attempt == 8) {
                    ++failed;
                    break;
                }
            }
            retries += attempt - 1;
        } else {
            const PostResult result = PostNote(sender, QStringLiteral("USER001"), text);
            stored += result.Stored ? 1 : 0;
            failed += result.Stored ? 0 : 1;
            retries += result.Attempts - 1;
        }
        latencies.push_back(NowMs() - start);
    }
    Row("post", via, stored, retries, failed, Percentile(latencies, 0.5),
        Percentile(latencies, 0.99), seconds, Percentile(latencies, 1.0));
    if (!alerts.isEmpty())
        std::fprintf(stderr, "first alert: %s\n", qPrintable(alerts.first()));
    return 0;
}

// The store of one desktop: twenty colleagues, and this many notes waiting for the user.
int Make(const std::string& where, int notes, const QString& user)
{
    auto engine = Engine::Open(where);
    if (!engine)
        return 1;
    engine->Run("DROP TABLE IF EXISTS MSGS");
    engine->Run("DROP TABLE IF EXISTS USRS");
    engine->Run("DROP TABLE IF EXISTS RCPTS");
    QStringList statements = SchemaStatements(true);
    statements << AddUserSqlStatement(user);
    for (int colleague = 1; colleague < 20; ++colleague)
        statements << AddUserSqlStatement(UserName(colleague));
    for (int key = 1; key <= notes; ++key)
        statements << PostNoteStatement(
            QStringLiteral("Note %1").arg(key), user, UserName(1), key, 1 + key % 3);
    for (const QString& statement : statements) {
        if (!engine->Run(Utf8(statement))) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(statement), engine->LastMessage().c_str());
            return 1;
        }
    }
    return 0;
}

// The program's poll as the poll timer runs it, only faster. With churnEvery N, every Nth
// poll one note is deleted and a new one posted, so windows are made and destroyed all the
// time. Memory and open files are sampled along the way.
int PollLoop(int polls, const QString& user, int churnEvery)
{
    QStringList alerts;
    OnAlert([&](const QString& text) { alerts.append(text); });
    if (!ConnectStore())
        return 1;
    QWidget owner;
    Exchange exchange(&owner, user);
    exchange.Poll();
    const int open = exchange.OpenNotes();
    const double start = NowMs();
    for (int poll = 1; poll <= polls; ++poll) {
        if (churnEvery > 0 && poll % churnEvery == 0) {
            exchange.DeleteFirstNote();
            PostNote(user, user, QStringLiteral("Another one %1").arg(poll));
        }
        exchange.Poll();
        QCoreApplication::processEvents();
        if (poll % 250 == 0)
            Row("rss", poll, SelfRssKb(), SelfOpenFiles(), exchange.OpenNotes());
    }
    const double elapsed = NowMs() - start;
    Row("polls", polls, elapsed / polls, open, exchange.OpenNotes(), int(alerts.size()));
    if (!alerts.isEmpty())
        std::fprintf(stderr, "first alert: %s\n", qPrintable(alerts.first()));
    CloseStore();
    return exchange.OpenNotes() == open && alerts.isEmpty() ? 0 : 1;
}

// What Qt itself keeps when windows come and go: ten plain borderless windows open, the
// oldest replaced by a new one each round, sampled as PollLoop samples (one round standing
// for the ten polls of one note's churn there).
int WindowLoop(int windows)
{
    std::deque<std::unique_ptr<QLabel>> open;
    for (int round = 0; round <= windows; ++round) {
        if (open.size() == 10)
            open.pop_front();
        auto window = std::make_unique<QLabel>(QStringLiteral("Note %1").arg(round));
        window->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
        window->setGeometry(50 + round % 40 * 10, 50 + round % 40 * 10, 100, 100);
        window->show();
        open.push_back(std::move(window));
        QCoreApplication::processEvents();
        if (round % 25 == 0 && round > 0)
            Row("rss", round * 10, SelfRssKb(), SelfOpenFiles(), int(open.size()));
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("poll-loop") && argc == 5) {
        QApplication application(argc, argv);
        return PollLoop(std::atoi(argv[2]), QString::fromLocal8Bit(argv[3]), std::atoi(argv[4]));
    }
    if (mode == QLatin1String("window-loop") && argc == 3) {
        QApplication application(argc, argv);
        return WindowLoop(std::atoi(argv[2]));
    }
    QCoreApplication application(argc, argv);
    if (mode == QLatin1String("queries") && argc == 5)
        return Queries(argv[2], QString::fromLocal8Bit(argv[3]).split(u','), std::atoi(argv[4]));
    if (mode == QLatin1String("post") && argc == 6)
        return Post(argv[2], argv[3], std::atof(argv[4]), std::atof(argv[5]));
    if (mode == QLatin1String("make") && argc == 5)
        return Make(argv[2], std::atoi(argv[3]), QString::fromLocal8Bit(argv[4]));
    std::fprintf(stderr, "usage: see the head of BenchStore.cpp\n");
    return 2;
}
