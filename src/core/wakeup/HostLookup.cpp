#include "wakeup/HostLookup.h"

#include "wakeup/LookupThreads.h"

#include <QMetaObject>

#include <mutex>
#include <utility>

#include <netdb.h>
#include <sys/socket.h>

namespace vimo {

struct HostLookup::Answers {
    std::mutex Lock;
    // Cleared as the lookup goes, under the lock, so that no answer is sent to it after.
    HostLookup* Owner = nullptr;
};

namespace {

// Every address of the name as text, each once, in the resolver's order; none when it has
// no address or the lookup failed.
QByteArrayList AddressesOf(const QByteArray& name)
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    // Only the kinds of address this machine can reach; a machine with loopback alone has
    // none of those, and then every kind.
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.constData(), nullptr, &hints, &found) != 0) {
        hints.ai_flags = 0;
        if (getaddrinfo(name.constData(), nullptr, &hints, &found) != 0)
            return {};
    }
    QByteArrayList addresses;
    for (const addrinfo* at = found; at; at = at->ai_next) {
        char text[NI_MAXHOST];
        if (getnameinfo(at->ai_addr, at->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST)
            == 0) {
            const QByteArray address(text);
            if (!addresses.contains(address))
                addresses.append(address);
        }
    }
    freeaddrinfo(found);
    return addresses;
}

} // namespace

HostLookup::HostLookup(LookupThreads& threads, QObject* parent)
    : QObject(parent)
    , Threads(threads)
    , Inbox(std::make_shared<Answers>())
{
    Inbox->Owner = this;
}

HostLookup::~HostLookup()
{
    const std::lock_guard<std::mutex> guard(Inbox->Lock);
    Inbox->Owner = nullptr;
}

void HostLookup::Start(const QByteArray& hosts)
{
    Cancel();
    for (const QByteArray& host : hosts.split(',')) {
        const QByteArray name = host.trimmed();
        Names.append(name);
        // A socket folder has no address; libpq takes an empty one for "use the host".
        const bool folder = name.startsWith('/') || name.startsWith('@');
        Addresses.append(folder ? QByteArrayList { QByteArray() } : QByteArrayList());
        Waiting += folder ? 0 : 1;
    }
    if (Waiting == 0) {
        Finish();
        return;
    }
    const quint64 round = Round;
    for (qsizetype index = 0; index < Names.size(); ++index) {
        if (!Addresses[index].isEmpty())
            continue;
        // One thread a name and attempt; it ends with its answer, which a cancelled or
        // destroyed lookup no longer takes.
        Threads.Run([inbox = Inbox, name = Names[index], index, round] {
            const QByteArrayList addresses = AddressesOf(name);
            const std::lock_guard<std::mutex> guard(inbox->Lock);
            if (HostLookup* owner = inbox->Owner) {
                QMetaObject::invokeMethod(
                    owner,
                    [owner, index, round, addresses] { owner->OnFound(index, round, addresses); },
                    Qt::QueuedConnection);
            }
        });
    }
}

void HostLookup::Cancel()
{
    Waiting = 0;
    Names.clear();
    Addresses.clear();
    ++Round;
}

void HostLookup::OnFound(qsizetype index, quint64 round, const QByteArrayList& addresses)
{
    if (round != Round)
        return;
    Addresses[index] = addresses;
    if (--Waiting == 0)
        Finish();
}

void HostLookup::Finish()
{
    QByteArrayList names;
    QByteArrayList addresses;
    for (qsizetype at = 0; at < Names.size(); ++at) {
        if (Addresses[at].isEmpty()) {
            names.clear();
            addresses.clear();
            break;
        }
        for (const QByteArray& address : std::as_const(Addresses[at])) {
            names.append(Names[at]);
            addresses.append(address);
        }
    }
    Cancel();
    Q_EMIT Resolved(names.join(','), addresses.join(','));
}

} // namespace vimo
