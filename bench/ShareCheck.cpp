// One copy of Vimo on a data file in a shared folder, between its polls: it asks the file
// every INTERVAL_MS whether anything was written, and polls at once when it was, besides its
// poll every 20 s. The suite runs many of these, through FUSE mounts, to see what the asking
// costs the share and what it does to the posts of others.
//   vimo_bench_share copy METHOD INTERVAL_MS POLL_MS SECONDS USER START_AT_EPOCH_MS
//   vimo_bench_share interval      the program's own interval, in ms
// METHOD is how it asks: "counter", the program's own check (the file's change counter);
// "data-version", SQLite's PRAGMA data_version on the copy's link; "stat", the file's size and
// modification time; "poll", a whole poll each time; "none", only the timed poll. POLL_MS is
// the timed poll's period (the program's 20 s; 0: none). The data source "VIMO" names the
// file. Just before and after its window the copy looks up the names FILE-window-begin and
// FILE-window-end, so that a mount's log shows where the window lies. One "share" row at the
// end.

#include "Figures.h"
#include "VimoAdapter.h"

#include <QCoreApplication>
#include <QFile>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include <sys/stat.h>

using namespace vimo::bench;

namespace {

double EpochMs()
{
    using namespace std::chrono;
    return double(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

void SleepUntil(double steadyMs)
{
    const double wait = steadyMs - NowMs();
    if (wait > 0)
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(wait));
}

// What the method reads: any change of it means "poll now". Empty when it failed.
std::string Ask(const std::string& method, const QString& file, const QString& user)
{
    if (method == "poll") {
        const int rows = PollRows(user);
        return rows < 0 ? std::string() : std::to_string(rows);
    }
    if (method == "counter") {
        const qint64 counter = DataFileChangeCounter(file);
        return counter < 0 ? std::string() : std::to_string(counter);
    }
    if (method == "data-version")
        return QueryValue(QStringLiteral("PRAGMA data_version")).toStdString();
    if (method == "stat") {
        struct stat status { };
        if (::stat(QFile::encodeName(file).constData(), &status) != 0)
            return {};
        return std::to_string(status.st_size) + ":" + std::to_string(status.st_mtim.tv_sec) + "."
            + std::to_string(status.st_mtim.tv_nsec);
    }
    return "-";
}

void Mark(const QString& file, const char* what)
{
    struct stat status { };
    ::stat(QFile::encodeName(file + QLatin1String(what)).constData(), &status);
}

int Copy(const std::string& method, double intervalMs, double pollEveryMs, double seconds,
    const QString& user, double startAtEpochMs)
{
    if (!ConnectStore()) {
        std::fprintf(stderr, "share copy: the data source VIMO does not open\n");
        return 1;
    }
    const QString file = DataSourceFile();
    std::mt19937 random(static_cast<unsigned>(QCoreApplication::applicationPid()));
    std::uniform_real_distribution<double> phase(0, 1);
    SleepUntil(NowMs() + (startAtEpochMs - EpochMs()));

    Mark(file, "-window-begin");
    const double start = NowMs();
    const double end = start + seconds * 1000;
    const bool asking = method != "none";
    double nextCheck = asking ? start + phase(random) * intervalMs : end;
    double nextPoll = pollEveryMs > 0 ? start + phase(random) * pollEveryMs : end;
    std::vector<double> checkMs, pollMs;
    int changes = 0, failures = 0;
    std::string last;
    bool known = false;
    auto poll = [&] {
        const double at = NowMs();
        if (PollRows(user) < 0)
            ++failures;
        pollMs.push_back(NowMs() - at);
    };
    while (std::min(nextCheck, nextPoll) < end) {
        if (nextPoll <= nextCheck) {
            SleepUntil(nextPoll);
            poll();
            nextPoll += pollEveryMs;
            continue;
        }
        SleepUntil(nextCheck);
        const double at = NowMs();
        const std::string seen = Ask(method, file, user);
        checkMs.push_back(NowMs() - at);
        if (seen.empty())
            ++failures;
        if (method == "poll") {
            pollMs.push_back(checkMs.back());
        } else if (known && seen != last) {
            ++changes;
            poll();
        }
        last = seen;
        known = true;
        nextCheck += intervalMs;
    }
    Mark(file, "-window-end");
    Row("share", method, int(checkMs.size()), changes, int(pollMs.size()), Percentile(checkMs, 0.5),
        Percentile(checkMs, 0.99), Percentile(checkMs, 1.0), Percentile(pollMs, 0.5), failures);
    CloseStore();
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    // The program's own interval, for the suite to measure at.
    if (argc == 2 && std::strcmp(argv[1], "interval") == 0) {
        std::printf("%d\n", DataFileCheckMs());
        return 0;
    }
    if (argc == 8 && std::strcmp(argv[1], "copy") == 0)
        return Copy(argv[2], std::atof(argv[3]), std::atof(argv[4]), std::atof(argv[5]),
            QString::fromLocal8Bit(argv[6]), std::atof(argv[7]));
    std::fprintf(stderr,
        "usage: %s copy METHOD INTERVAL_MS POLL_MS SECONDS USER START_AT_EPOCH_MS\n", argv[0]);
    return 2;
}
