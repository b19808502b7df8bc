#include "tray/StallWatch.h"

#include <QLoggingCategory>

namespace vimo {
namespace {

Q_LOGGING_CATEGORY(StallLog, "vimo.stall", QtWarningMsg)

constexpr int HeartbeatMs = 10;
constexpr qint64 ReportAboveMs = 30;

} // namespace

void StallWatch::StartIfEnabled(QObject* owner)
{
    if (StallLog().isInfoEnabled())
        new StallWatch(owner);
}

StallWatch::StallWatch(QObject* owner)
    : QObject(owner)
{
    SinceLastTurn.start();
    startTimer(HeartbeatMs, Qt::PreciseTimer);
}

StallWatch::~StallWatch()
{
    qCInfo(StallLog, "longest gap %lld ms", LongestMs);
}

void StallWatch::timerEvent(QTimerEvent*)
{
    const qint64 gap = SinceLastTurn.restart();
    LongestMs = qMax(LongestMs, gap);
    // Restarted just now: its start is this turn, on the monotonic clock.
    if (gap > ReportAboveMs)
        qCInfo(StallLog, "gap %lld ms ending at %lld ms", gap, SinceLastTurn.msecsSinceReference());
}

} // namespace vimo
