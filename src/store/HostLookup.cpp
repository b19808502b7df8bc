#include "store/HostLookup.h"

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
    QByteArray Addresses;

    ~Shared()
    {
        if (Event >= 0)
            ::close(Event);
    }
};

namespace {

QByteArray AddressOf(const QByteArray& name)
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.constData(), nullptr, &hints, &found) != 0 || found == nullptr)
        return {};
    char text[INET6_ADDRSTRLEN] = {};
    const void* address = found->ai_family == AF_INET6
        ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(found->ai_addr)->sin6_addr)
        : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr);
    const bool written = ::inet_ntop(found->ai_family, address, text, sizeof text) != nullptr;
    ::freeaddrinfo(found);
    return written ? QByteArray(text) : QByteArray();
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
        Q_EMIT Resolved({});
        return;
    }
    Running = shared;
    Done = new QSocketNotifier(shared->Event, QSocketNotifier::Read, this);
    connect(Done, &QSocketNotifier::activated, this, &HostLookup::OnDone);
    std::thread([shared, hosts] {
        QByteArrayList addresses;
        for (const QByteArray& name : hosts.split(',')) {
            const QByteArray address = AddressOf(name.trimmed());
            if (address.isEmpty()) {
                addresses.clear();
                break;
            }
            addresses.append(address);
        }
        {
            const std::lock_guard lock(shared->Lock);
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
    QByteArray addresses;
    {
        const std::lock_guard lock(Running->Lock);
        addresses = Running->Addresses;
    }
    Cancel();
    Q_EMIT Resolved(addresses);
}

} // namespace vimo
