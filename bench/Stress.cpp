// The two sides of bench/stress.py, each a process of its own on the data source "VIMO":
//   vimo_bench_stress post SENDER NOTES RECIPIENT...
//       posts NOTES notes as fast as it can, in turn to each recipient, through the program's
//       own posting ("SENDER 17" is the 18th); one "posted" row at the end, a "refused" row
//       for each note the store refused.
//   vimo_bench_stress copy USER STOP_FILE
//       the program's note exchange signed in as USER, on the offscreen platform: it polls
//       without pause and its user deletes every note that shows, until STOP_FILE exists and
//       a poll finds nothing; a "deleted" row with the key and text of each note it deleted,
//       then one "copy" row.
//   vimo_bench_stress loop SENDER RECIPIENT STOP_FILE PAUSE_MS
//       posts one note after another through the program's own posting, PAUSE_MS apart,
//       until STOP_FILE exists: a "stored" or "refused" row for each, with its text and when
//       its post began and ended (ms on the monotonic clock that Python's time.monotonic()
//       reads). A store out of reach at the start is no reason to stop.

#include "Figures.h"
#include "VimoAdapter.h"

#include <QApplication>
#include <QFileInfo>
#include <QThread>
#include <QWidget>

#include <cstdio>

using namespace vimo::bench;

namespace {

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

int Post(const QString& sender, int notes, const QStringList& recipients)
{
    QStringList alerts;
    OnAlert([&](const QString& text) { alerts.append(text); });
    if (!ConnectStore()) {
        std::fprintf(stderr, "%s: the data source VIMO does not open\n", Utf8(sender).c_str());
        return 1;
    }
    int stored = 0, refused = 0, attempts = 0, mostAttempts = 0;
    const double start = NowMs();
    for (int index = 0; index < notes; ++index) {
        const QString text = QStringLiteral("%1 %2").arg(sender).arg(index);
        alerts.clear();
        const PostResult result = PostNote(sender, recipients[index % recipients.size()], text);
        attempts += result.Attempts;
        mostAttempts = std::max(mostAttempts, result.Attempts);
        if (result.Stored) {
            ++stored;
        } else {
            ++refused;
            std::printf("refused\t%s\t%s\n", Utf8(text).c_str(),
                Utf8(alerts.join(QLatin1Char(' ')).simplified()).c_str());
        }
    }
    std::printf("posted\t%s\t%d\t%d\t%d\t%d\t%.0f\n", Utf8(sender).c_str(), stored, refused,
        attempts, mostAttempts, NowMs() - start);
    return 0;
}

int Loop(const QString& sender, const QString& recipient, const QString& stopFile, int pauseMs)
{
    QStringList alerts;
    OnAlert([&](const QString& text) { alerts.append(text); });
    ConnectStore();
    for (int index = 0; !QFileInfo::exists(stopFile); ++index) {
        const QString text = QStringLiteral("%1 loop %2").arg(sender).arg(index);
        alerts.clear();
        const double start = NowMs();
        const PostResult result = PostNote(sender, recipient, text);
        std::printf("%s\t%s\t%.2f\t%.2f\t%s\n", result.Stored ? "stored" : "refused",
            Utf8(text).c_str(), start, NowMs(),
            Utf8(alerts.join(QLatin1Char(' ')).simplified()).c_str());
        std::fflush(stdout);
        QThread::msleep(pauseMs);
    }
    return 0;
}

int Receive(const QString& user, const QString& stopFile)
{
    QStringList alerts;
    OnAlert([&](const QString& text) { alerts.append(text); });
    if (!ConnectStore()) {
        std::fprintf(stderr, "%s: the data source VIMO does not open\n", Utf8(user).c_str());
        return 1;
    }
    QWidget owner;
    Exchange exchange(&owner, user);
    int polls = 0, deleted = 0;
    bool stopping = false;
    for (;;) {
        // Asked before the poll: a poll that finds nothing after it covers every post.
        stopping = stopping || QFileInfo::exists(stopFile);
        exchange.Poll();
        ++polls;
        const auto shown = exchange.DeleteAllNotes();
        for (const auto& [key, text] : shown)
            std::printf("deleted\t%lld\t%s\n", static_cast<long long>(key), Utf8(text).c_str());
        deleted += int(shown.size());
        QCoreApplication::processEvents();
        if (stopping && shown.isEmpty())
            break;
        if (shown.isEmpty())
            QThread::msleep(20);
    }
    for (const QString& alert : alerts)
        std::printf("alert\t%s\t%s\n", Utf8(user).c_str(), Utf8(alert.simplified()).c_str());
    std::printf("copy\t%s\t%d\t%d\t%d\n", Utf8(user).c_str(), polls, deleted, int(alerts.size()));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const QStringList arguments = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i)
            list.append(QString::fromLocal8Bit(argv[i]));
        return list;
    }();
    if (arguments.size() >= 4 && arguments[0] == QLatin1String("post")) {
        QCoreApplication application(argc, argv);
        return Post(arguments[1], arguments[2].toInt(), arguments.mid(3));
    }
    if (arguments.size() == 5 && arguments[0] == QLatin1String("loop")) {
        QCoreApplication application(argc, argv);
        return Loop(arguments[1], arguments[2], arguments[3], arguments[4].toInt());
    }
    if (arguments.size() == 3 && arguments[0] == QLatin1String("copy")) {
        QApplication application(argc, argv);
        return Receive(arguments[1], arguments[2]);
    }
    std::fprintf(stderr,
        "usage: %s post SENDER NOTES RECIPIENT... | copy USER STOP_FILE | loop SENDER RECIPIENT "
        "STOP_FILE PAUSE_MS\n",
        argv[0]);
    return 2;
}
