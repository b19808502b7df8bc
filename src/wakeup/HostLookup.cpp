#include "wakeup/HostLookup.h"

#include <QSocketNotifier>

#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace vimo {

struct HostLookup::Shared {
    // Closed when both sides are done with it, so the thread never writes to a stranger's fd.
    const int Event = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::mutex Lock;
    QByteArray Hosts;
    QByteArray Addresses;

    ~Shared()
    {
        if (Event >= 0)
            ::close(Event);
    }
};

namespace {

QByteArrayList AddressesOf(const QByteArray& name)
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.constData(), nullptr, &hints, &found) != 0)
        return {};
    QByteArrayList addresses;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const void* address = entry->ai_family == AF_INET6
            ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(entry->ai_addr)->sin6_addr)
            : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(entry->ai_addr)->sin_addr);
        if (::inet_ntop(entry->ai_family, address, text, sizeof text) != nullptr
            && !addresses.contains(text))
            addresses.append(text);
    }
    ::freeaddrinfo(found);
    return addresses;
}

} // namespace

HostLookup::HostLookup(QObject* parent)
    : QObject(parent)
{
}

HostLookup::~HostLookup()
{
    Cancel();
}

void HostLookup::Start(const QByteArray& hosts)
{
    Cancel();
    auto shared = std::make_shared<Shared>();
    if (shared->Event < 0) {
        Q_EMIT Resolved({}, {});
        return;
    }
    Running = shared;
    Done = new QSocketNotifier(shared->Event, QSocketNotifier::Read, this);
    connect(Done, &QSocketNotifier::activated, this, &HostLookup::OnDone);
    std::thread([shared, hosts] {
        QByteArrayList names;
        QByteArrayList addresses;
        for (const QByteArray& host : hosts.split(',')) {
            const QByteArray name = host.trimmed();
            // A socket folder has no address; libpq takes an empty one for "use the host".
            const bool folder = name.startsWith('/') || name.startsWith('@');
            const QByteArrayList found
                = folder ? QByteArrayList { QByteArray() } : AddressesOf(name);
            if (found.isEmpty()) {
                names.clear();
                addresses.clear();
                break;
            }
            for (const QByteArray& address : found) {
                names.append(name);
                addresses.append(address);
            }
        }
        {
            const std::lock_guard lock(shared->Lock);
            shared->Hosts = names.join(',');
            shared->Addresses = addresses.join(',');
        }
        const quint64 one = 1;
        [[maybe_unused]] const auto written = ::write(shared->Event, &one, sizeof one);
    }).detach();
}

void HostLookup::Cancel()
{
    // Cancel may run inside the notifier's own signal: it goes once that returns.
    if (Done != nullptr) {
        Done->setEnabled(false);
        Done->disconnect(this);
        Done->deleteLater();
        Done = nullptr;
    }
    Running.reset();
}

void HostLookup::OnDone()
{
    QByteArray hosts;
    QByteArray addresses;
    {
        const std::lock_guard lock(Running->Lock);
        hosts = Running->Hosts;
        addresses = Running->Addresses;
    }
    Cancel();
    Q_EMIT Resolved(hosts, addresses);
}

} // namespace vimo
