#include "wakeup/BrokerLink.h"

#include "wakeup/HostLookup.h"
#include "wakeup/LibMosquitto.h"

#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <utility>

#include <arpa/inet.h>

namespace vimo {
namespace {

Q_LOGGING_CATEGORY(Log, "vimo.wakeup", QtWarningMsg)

bool IsAddress(const QByteArray& host)
{
    unsigned char address[16];
    return ::inet_pton(AF_INET, host.constData(), address) == 1
        || ::inet_pton(AF_INET6, host.constData(), address) == 1;
}

const char* Null(const QByteArray& value)
{
    return value.isEmpty() ? nullptr : value.constData();
}

} // namespace

BrokerLink::BrokerLink(
    BrokerSettings settings, QByteArray topic, LookupThreads& threads, QObject* parent)
    : QObject(parent)
    , Settings(std::move(settings))
    , Topic(std::move(topic))
    , Lookup(new HostLookup(threads, this))
    , Housekeeping(new QTimer(this))
    , StepTimer(new QTimer(this))
    , RetryTimer(new QTimer(this))
{
    StepTimer->setSingleShot(true);
    RetryTimer->setSingleShot(true);
    // Keep-alive pings and the broker's silence are noticed here.
    Housekeeping->setInterval(1000);
    connect(Housekeeping, &QTimer::timeout, this, [this] {
        Serve([](mosquitto* client, int) {
            return LibMosquitto::Get()->mosquitto_loop_misc(client);
        });
    });
    connect(StepTimer, &QTimer::timeout, this,
        [this] { OnBroken(QStringLiteral("no answer in time")); });
    connect(RetryTimer, &QTimer::timeout, this, &BrokerLink::Attempt);
    connect(Lookup, &HostLookup::Resolved, this, &BrokerLink::OnResolved);
}

BrokerLink::~BrokerLink()
{
    Close();
}

void BrokerLink::Start()
{
    Attempt();
}

void BrokerLink::Publish(const QByteArray& topic)
{
    if (Current != State::Subscribed || topic.isEmpty())
        return;
    // Quality 0: a wake-up lost on the way costs the addressee a wait for the poll, never a note.
    LibMosquitto::Get()->mosquitto_publish(
        Client, nullptr, topic.constData(), 0, nullptr, 0, false);
    WatchWrites();
}

void BrokerLink::Attempt()
{
    Close();
    BrokenBecause.clear();
    Enter(State::Connecting);
    StepTimer->start(StepTimeoutMs);
    if (IsAddress(Settings.Host))
        OnResolved(Settings.Host, Settings.Host);
    else
        Lookup->Start(Settings.Host);
}

void BrokerLink::OnResolved(const QByteArray&, const QByteArray& addresses)
{
    const QByteArray address = addresses.split(',').value(0);
    if (address.isEmpty()) {
        OnBroken(
            QStringLiteral("cannot find the address of %1").arg(QString::fromUtf8(Settings.Host)));
        return;
    }
    const LibMosquitto* mq = LibMosquitto::Get();
    Client = mq->mosquitto_new(nullptr, true, this);
    if (Client == nullptr) {
        OnBroken(QStringLiteral("no client"));
        return;
    }
    mq->mosquitto_connect_callback_set(Client, &BrokerLink::OnConnected);
    mq->mosquitto_subscribe_callback_set(Client, &BrokerLink::OnSubscribed);
    mq->mosquitto_message_callback_set(Client, &BrokerLink::OnMessage);
    mq->mosquitto_disconnect_callback_set(Client, &BrokerLink::OnDisconnected);
    mq->mosquitto_username_pw_set(Client, Null(Settings.User), Null(Settings.Password));
    if (!Settings.CaFile.isEmpty()
        && mq->mosquitto_tls_set(Client, Settings.CaFile.constData(), nullptr,
               Null(Settings.CertFile), Null(Settings.KeyFile), nullptr)
            != MOSQ_ERR_SUCCESS) {
        OnBroken(QStringLiteral("cannot read the broker's certificates"));
        return;
    }
    // WORKAROUND: libmosquitto checks the broker's certificate against the host it connects
    // to, so over TLS it gets the name and looks it up again; the lookup above has just
    // answered, so this one does not wait on a name server. Without TLS the address found.
    const QByteArray host = Settings.CaFile.isEmpty() ? address : Settings.Host;
    const int code
        = mq->mosquitto_connect_async(Client, host.constData(), Settings.Port, KeepAliveSeconds);
    const int socket = mq->mosquitto_socket(Client);
    if (code != MOSQ_ERR_SUCCESS || socket < 0) {
        OnBroken(QString::fromUtf8(mq->mosquitto_strerror(code)));
        return;
    }
    Reader = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    Writer = new QSocketNotifier(socket, QSocketNotifier::Write, this);
    connect(Reader, &QSocketNotifier::activated, this,
        [this] { Serve(LibMosquitto::Get()->mosquitto_loop_read); });
    connect(Writer, &QSocketNotifier::activated, this,
        [this] { Serve(LibMosquitto::Get()->mosquitto_loop_write); });
    Housekeeping->start();
    WatchWrites();
}

void BrokerLink::Serve(int (*step)(mosquitto*, int))
{
    if (Client == nullptr)
        return;
    const int code = step(Client, 1);
    if (code != MOSQ_ERR_SUCCESS && BrokenBecause.isEmpty())
        BrokenBecause = QString::fromUtf8(LibMosquitto::Get()->mosquitto_strerror(code));
    if (!BrokenBecause.isEmpty())
        OnBroken(std::exchange(BrokenBecause, QString()));
    else
        WatchWrites();
}

void BrokerLink::WatchWrites()
{
    if (Writer != nullptr)
        Writer->setEnabled(LibMosquitto::Get()->mosquitto_want_write(Client));
}

void BrokerLink::OnConnected(mosquitto* client, void* self, int code)
{
    auto* link = static_cast<BrokerLink*>(self);
    if (code != 0) {
        link->BrokenBecause = QStringLiteral("the broker refused the link (%1)").arg(code);
        return;
    }
    LibMosquitto::Get()->mosquitto_subscribe(client, nullptr, link->Topic.constData(), 0);
}

void BrokerLink::OnSubscribed(mosquitto*, void* self, int, int count, const int* qos)
{
    auto* link = static_cast<BrokerLink*>(self);
    // MQTT 3.1.1 answers a subscription its rules forbid with 0x80 rather than a refusal.
    if (count < 1 || qos[0] > 2) {
        link->BrokenBecause = QStringLiteral("the broker does not let this user hear its topic");
        return;
    }
    link->StepTimer->stop();
    link->FailedAttempts = 0;
    qCInfo(Log).noquote() << "hearing wake-ups from the broker on"
                          << QString::fromUtf8(link->Topic);
    link->Enter(State::Subscribed);
    // Wake-ups sent while the link was down reached nobody.
    if (std::exchange(link->SubscribedBefore, true))
        Q_EMIT link->Notified();
}

void BrokerLink::OnMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* link = static_cast<BrokerLink*>(self);
    if (link->Current == State::Subscribed && link->Topic == message->topic)
        Q_EMIT link->Notified();
}

void BrokerLink::OnDisconnected(mosquitto*, void* self, int code)
{
    auto* link = static_cast<BrokerLink*>(self);
    if (link->BrokenBecause.isEmpty())
        link->BrokenBecause = QStringLiteral("the broker closed the link (%1)").arg(code);
}

void BrokerLink::OnBroken(const QString& reason)
{
    Close();
    // Spread out, so that a broker that comes back is not met by every copy at once.
    const int ceiling = std::min(LongestRetryMs, FirstRetryMs << std::min(FailedAttempts, 16));
    ++FailedAttempts;
    const int delay = ceiling / 2 + int(QRandomGenerator::global()->bounded(ceiling / 2 + 1));
    qCInfo(Log).noquote() << "broker link:" << reason << "- trying again in" << delay << "ms";
    Enter(State::Connecting);
    RetryTimer->start(delay);
}

void BrokerLink::Close()
{
    StepTimer->stop();
    Housekeeping->stop();
    Lookup->Cancel();
    // Possibly inside their own signal: they go once it has returned.
    for (QSocketNotifier* notifier :
        { std::exchange(Reader, nullptr), std::exchange(Writer, nullptr) }) {
        if (notifier != nullptr) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    if (Client != nullptr) {
        const LibMosquitto* mq = LibMosquitto::Get();
        mq->mosquitto_disconnect(Client);
        mq->mosquitto_destroy(std::exchange(Client, nullptr));
    }
}

void BrokerLink::Enter(State state)
{
    if (state == Current)
        return;
    Current = state;
    Q_EMIT StateChanged(state);
}

} // namespace vimo
