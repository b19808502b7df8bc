#pragma once

#include <QElapsedTimer>
#include <QObject>

namespace vimo {

// Measures how long the GUI thread goes without turning its event loop, for the tests that
// drive the program through store faults. Enabled by the logging rule "vimo.stall.info=true";
// otherwise nothing is made and nothing runs.
//
// A 10 ms heartbeat; every gap above 30 ms is logged as
//   "gap N ms ending at T ms"
// with T on the monotonic clock (QElapsedTimer::msecsSinceReference, that is
// CLOCK_MONOTONIC), and the longest gap when the watch ends with its owner.
class StallWatch : public QObject {
public:
    static void StartIfEnabled(QObject* owner);
    ~StallWatch() override;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    explicit StallWatch(QObject* owner);

    QElapsedTimer SinceLastTurn;
    qint64 LongestMs = 0;
};

} // namespace vimo
