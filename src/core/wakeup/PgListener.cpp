#include "wakeup/PgListener.h"

#include "wakeup/HostLookup.h"

#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>

#include <arpa/inet.h>

namespace vimo {
namespace {

Q_LOGGING_CATEGORY(Log, "vimo.wakeup", QtWarningMsg)

QByteArray ValueOf(const PgParameters& parameters, const QByteArray& keyword)
{
    for (const auto& [key, value] : parameters) {
        if (key == keyword)
            return value;
    }
    return {};
}

// A host list that needs a name server: any entry that is neither an address nor a socket
// folder.
bool NeedsLookup(const QByteArray& hosts)
{
    for (const QByteArray& host : hosts.split(',')) {
        const QByteArray name = host.trimmed();
        unsigned char address[16];
        if (name.isEmpty() || name.startsWith('/') || name.startsWith('@')
            || ::inet_pton(AF_INET, name.constData(), address) == 1
            || ::inet_pton(AF_INET6, name.constData(), address) == 1)
            continue;
        return true;
    }
    return false;
}

// libpq tries several hosts in turn, but in its non-blocking connect it has no time limit
// for each: a host that takes the connection and never answers (its machine stalled, as when
// a cluster fails over from it) holds every attempt. After such an attempt the list starts
// further on, so that the primary among the others is still found.
void ShiftHosts(PgParameters& parameters, int shift)
{
    const qsizetype hosts = ValueOf(parameters, "host").count(',') + 1;
    if (hosts < 2 || shift % hosts == 0)
        return;
    for (auto& [keyword, value] : parameters) {
        QList<QByteArray> items = value.split(',');
        if ((keyword == "host" || keyword == "hostaddr" || keyword == "port")
            && items.size() == hosts) {
            std::rotate(items.begin(), items.begin() + shift % hosts, items.end());
            value = items.join(',');
        }
    }
}

QByteArray RandomHex()
{
    return QByteArray::number(QRandomGenerator::global()->generate64(), 16);
}

} // namespace

PgListener::PgListener(
    PgParameters parameters, QByteArray channel, LookupThreads& threads, QObject* parent)
    : QObject(parent)
    , Parameters(std::move(parameters))
    , Channel(std::move(channel))
    , ProbeChannel("vimo_probe_" + RandomHex())
    , Lookup(new HostLookup(threads, this))
    , Link(new PgSession(this))
    , Probe(new PgSession(this))
    , StepTimer(new QTimer(this))
    , RetryTimer(new QTimer(this))
{
    StepTimer->setSingleShot(true);
    RetryTimer->setSingleShot(true);
    connect(StepTimer, &QTimer::timeout, this, &PgListener::OnTimeout);
    connect(RetryTimer, &QTimer::timeout, this, &PgListener::Attempt);
    connect(Lookup, &HostLookup::Resolved, this, &PgListener::OnResolved);
    connect(Link, &PgSession::Opened, this, &PgListener::OnOpened);
    connect(Link, &PgSession::Answered, this, &PgListener::OnAnswered);
    connect(Link, &PgSession::Notified, this, &PgListener::OnNotified);
    connect(Link, &PgSession::Failed, this, &PgListener::OnBroken);
    connect(Probe, &PgSession::Opened, this, &PgListener::OnProbeOpened);
    // The probe's own answer and notices mean nothing; it only sends.
    connect(Probe, &PgSession::Answered, Probe, &PgSession::Close);
    connect(Probe, &PgSession::Failed, this, &PgListener::OnBroken);
}

PgListener::~PgListener() = default;

void PgListener::Start()
{
    Attempt();
}

void PgListener::Attempt()
{
    Probe->Close();
    Link->Close();
    Enter(State::Connecting);
    StepTimer->start(StepTimeoutMs);
    const QByteArray hosts = ValueOf(Parameters, "host");
    // Several ports go one to one with several hosts, which more addresses would upset:
    // libpq then looks the names up itself.
    const bool lookUp = ValueOf(Parameters, "hostaddr").isEmpty() && NeedsLookup(hosts)
        && !ValueOf(Parameters, "port").contains(',');
    Now = lookUp ? Step::Resolving : Step::Connecting;
    if (lookUp)
        Lookup->Start(hosts);
    else
        OnResolved({}, {});
}

void PgListener::OnResolved(const QByteArray& hosts, const QByteArray& addresses)
{
    Resolved = Parameters;
    if (Now == Step::Resolving) {
        if (addresses.isEmpty()) {
            OnBroken(QStringLiteral("cannot find the address of %1")
                         .arg(QString::fromUtf8(ValueOf(Parameters, "host"))));
            return;
        }
        for (auto& [keyword, value] : Resolved) {
            if (keyword == "host")
                value = hosts;
        }
        Resolved.append({ "hostaddr", addresses });
    }
    ShiftHosts(Resolved, HostShift);
    Now = Step::Connecting;
    Link->Open(Resolved);
}

void PgListener::OnOpened()
{
    Now = Step::CheckingTrigger;
    Link->Send(QByteArrayLiteral("SELECT count(*) FROM pg_trigger WHERE tgrelid = "
                                 "to_regclass('msgs') AND tgname = '")
        + TriggerName + QByteArrayLiteral("' AND tgenabled <> 'D'"));
}

void PgListener::OnAnswered(const QByteArray& value)
{
    switch (Now) {
    case Step::CheckingTrigger:
        if (value.toInt() == 0) {
            Settle(State::NoTrigger, NoTriggerRetryMs,
                QStringLiteral("the store has no trigger that notifies"));
            return;
        }
        Now = Step::ListeningToProbe;
        Link->Send("LISTEN " + ProbeChannel);
        break;
    case Step::ListeningToProbe:
        Now = Step::Probing;
        StepTimer->start(ProbeTimeoutMs);
        Probe->Open(Resolved);
        break;
    case Step::ListeningToChannel:
        StepTimer->stop();
        Now = Step::Listening;
        FailedAttempts = 0;
        qCInfo(Log).noquote() << "listening for notes on" << QString::fromLatin1(Channel);
        Enter(State::Listening);
        // Notes that came while the link was down were announced to nobody.
        if (std::exchange(ListenedBefore, true))
            Q_EMIT Notified({});
        break;
    default:
        break;
    }
}

void PgListener::OnProbeOpened()
{
    Probe->Send("SELECT pg_notify('" + ProbeChannel + "', '')");
}

void PgListener::OnNotified(const QByteArray& channel, const QByteArray& payload)
{
    if (channel == ProbeChannel && Now == Step::Probing) {
        Probe->Close();
        Now = Step::ListeningToChannel;
        Link->Send("UNLISTEN " + ProbeChannel + "; LISTEN " + Channel);
    } else if (channel == Channel && Now == Step::Listening) {
        Q_EMIT Notified(payload);
    }
}

void PgListener::OnBroken(const QString& reason)
{
    StepTimer->stop();
    Lookup->Cancel();
    Probe->Close();
    Link->Close();
    Now = Step::Idle;
    // Quietly, and spread out: a restarted server is not met by every copy at once.
    const int ceiling = std::min(LongestRetryMs, FirstRetryMs << std::min(FailedAttempts, 16));
    ++FailedAttempts;
    const int delay = ceiling / 2 + int(QRandomGenerator::global()->bounded(ceiling / 2 + 1));
    qCInfo(Log).noquote() << "listening link:" << reason << "- trying again in" << delay << "ms";
    Enter(State::Connecting);
    RetryTimer->start(delay);
}

void PgListener::OnTimeout()
{
    if (Now == Step::Probing) {
        Settle(State::NotDelivered, NotDeliveredRetryMs,
            QStringLiteral("a notification does not come back (a pooler in transaction mode?)"));
        return;
    }
    if (Now == Step::Connecting)
        ++HostShift;
    OnBroken(QStringLiteral("no answer in time"));
}

void PgListener::Settle(State state, int retryMs, const QString& reason)
{
    StepTimer->stop();
    Probe->Close();
    Link->Close();
    Now = Step::Idle;
    qCInfo(Log).noquote() << "not listening:" << reason << "- the poll brings the notes";
    Enter(state);
    RetryTimer->start(retryMs);
}

void PgListener::Enter(State state)
{
    if (state == Current)
        return;
    Current = state;
    Q_EMIT StateChanged(state);
}

} // namespace vimo
