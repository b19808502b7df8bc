#pragma once

#include <QByteArray>
#include <QObject>

struct mosquitto;
struct mosquitto_message;
class QSocketNotifier;
class QTimer;

namespace vimo {

class HostLookup;
class LookupThreads;

// Where the office's MQTT broker is and how a copy proves itself there: the data source's
// keys Broker (host, or host:port), BrokerPassword, BrokerCAFile (TLS, verified against that
// root), BrokerCertFile and BrokerKeyFile (a client certificate). The user name is the Vimo
// name, which the broker's per-user rules match.
struct BrokerSettings {
    QByteArray Host;
    int Port = 0;
    QByteArray User;
    QByteArray Password;
    QByteArray CaFile;
    QByteArray CertFile;
    QByteArray KeyFile;

    static constexpr int PlainPort = 1883;
    static constexpr int TlsPort = 8883;
};

// A link to the broker that hears wake-ups on the copy's own topic and sends them to others',
// on the desktop's thread without ever making it wait: the socket is served as it becomes
// ready. It tries again, later each time, while the broker is away, and never tells the user:
// the poll brings the notes meanwhile. A wake-up carries nothing.
class BrokerLink : public QObject {
    Q_OBJECT

public:
    enum class State { Connecting, Subscribed };
    Q_ENUM(State)

    static constexpr int KeepAliveSeconds = 60;
    static constexpr int StepTimeoutMs = 15000;
    static constexpr int FirstRetryMs = 1000;
    static constexpr int LongestRetryMs = 60000;

    // The broker's name is looked up on the threads given, which outlive the link.
    BrokerLink(BrokerSettings settings, QByteArray topic, LookupThreads& threads,
        QObject* parent = nullptr);
    ~BrokerLink() override;

    void Start();
    State CurrentState() const { return Current; }
    // Wakes whoever listens on the topic; nothing while the link is down.
    void Publish(const QByteArray& topic);

Q_SIGNALS:
    // A wake-up came; also after the link came back from a break: notes may have come.
    void Notified();
    void StateChanged(vimo::BrokerLink::State state);

private:
    static void OnConnected(mosquitto* client, void* self, int code);
    static void OnSubscribed(mosquitto* client, void* self, int id, int count, const int* qos);
    static void OnMessage(mosquitto* client, void* self, const mosquitto_message* message);
    static void OnDisconnected(mosquitto* client, void* self, int code);

    void Attempt();
    void OnResolved(const QByteArray& hosts, const QByteArray& addresses);
    void Serve(int (*step)(mosquitto*, int));
    void WatchWrites();
    void OnBroken(const QString& reason);
    void Close();
    void Enter(State state);

    const BrokerSettings Settings;
    const QByteArray Topic;
    mosquitto* Client = nullptr;
    QSocketNotifier* Reader = nullptr;
    QSocketNotifier* Writer = nullptr;
    State Current = State::Connecting;
    // Set inside libmosquitto's callbacks, acted upon once its call has returned.
    QString BrokenBecause;
    bool SubscribedBefore = false;
    int FailedAttempts = 0;
    HostLookup* const Lookup;
    QTimer* const Housekeeping;
    QTimer* const StepTimer;
    QTimer* const RetryTimer;
};

} // namespace vimo
