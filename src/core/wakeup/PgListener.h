#pragma once

#include "wakeup/PgSession.h"

#include <QByteArray>
#include <QObject>

class QTimer;

namespace vimo {

class HostLookup;
class LookupThreads;

// Listens on a PostgreSQL server for notifications on one channel, over a link of its own
// that never makes the program wait. It gives up quietly where listening cannot work and
// tries again later; it never tells the user anything.
//
// Before it listens it checks that the store has the trigger that notifies (none: there is
// nothing to hear, so it holds no connection), and that a notification reaches it at all:
// it has one sent from a second, short connection on a probe channel of its own. Through a
// pooler in transaction mode (PgBouncer) the LISTEN lands on a server connection that goes
// back to the pool, and the probe never arrives.
class PgListener : public QObject {
    Q_OBJECT

public:
    enum class State {
        Connecting, // trying, or waiting to try again after the link broke
        Listening,
        NoTrigger, // the store does not notify; checked again every ten minutes
        NotDelivered, // the probe did not arrive; tried again every hour
    };
    Q_ENUM(State)

    static constexpr int StepTimeoutMs = 15000;
    static constexpr int ProbeTimeoutMs = 5000;
    static constexpr int FirstRetryMs = 1000;
    static constexpr int LongestRetryMs = 60000;
    static constexpr int NoTriggerRetryMs = 10 * 60 * 1000;
    // The data source stays as it was read, so only the pooler's own set-up can change this;
    // and each try leaves a LISTEN behind on one of its server connections.
    static constexpr int NotDeliveredRetryMs = 60 * 60 * 1000;
    // The trigger's name, as the store's schema creates it.
    static constexpr char TriggerName[] = "msgs_wakeup";

    // Host names are looked up on the threads given, which outlive the listener.
    PgListener(PgParameters parameters, QByteArray channel, LookupThreads& threads,
        QObject* parent = nullptr);
    ~PgListener() override;

    void Start();
    State CurrentState() const { return Current; }

Q_SIGNALS:
    // Something was said on the channel; the payload is what it said. Also after the link
    // came back from a break, with an empty payload: notes may have come meanwhile.
    void Notified(const QByteArray& payload);
    void StateChanged(vimo::PgListener::State state);

private:
    enum class Step {
        Idle,
        Resolving,
        Connecting,
        CheckingTrigger,
        ListeningToProbe,
        Probing,
        ListeningToChannel,
        Listening
    };

    void Attempt();
    void OnResolved(const QByteArray& hosts, const QByteArray& addresses);
    void OnOpened();
    void OnAnswered(const QByteArray& value);
    void OnNotified(const QByteArray& channel, const QByteArray& payload);
    void OnProbeOpened();
    void OnBroken(const QString& reason);
    void OnTimeout();
    void Settle(State state, int retryMs, const QString& reason);
    void Enter(State state);

    const PgParameters Parameters;
    const QByteArray Channel;
    const QByteArray ProbeChannel;
    PgParameters Resolved;
    State Current = State::Connecting;
    Step Now = Step::Idle;
    bool ListenedBefore = false;
    int FailedAttempts = 0;
    int HostShift = 0; // where the host list starts: past hosts that never answered
    HostLookup* const Lookup;
    PgSession* const Link;
    PgSession* const Probe;
    QTimer* const StepTimer;
    QTimer* const RetryTimer;
};

} // namespace vimo
