#include "wakeup/HostLookup.h"

#include <QHostInfo>

#include <utility>

namespace vimo {

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
        Running.append(QHostInfo::lookupHost(
            QString::fromUtf8(Names[index]), this, [this, index, round](const QHostInfo& info) {
                if (round == Round)
                    OnFound(index, info);
            }));
    }
}

void HostLookup::Cancel()
{
    for (const int id : std::as_const(Running))
        QHostInfo::abortHostLookup(id);
    Running.clear();
    Waiting = 0;
    Names.clear();
    Addresses.clear();
    ++Round;
}

void HostLookup::OnFound(qsizetype index, const QHostInfo& info)
{
    QByteArrayList& found = Addresses[index];
    for (const QHostAddress& address : info.addresses()) {
        const QByteArray text = address.toString().toLatin1();
        if (!found.contains(text))
            found.append(text);
    }
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
