#pragma once

#include <QByteArray>
#include <QObject>

#include <memory>

class QSocketNotifier;

namespace vimo {

// Looks host names up on a thread of its own, for a name server that does not answer holds a
// lookup for many seconds. The thread is left to finish on its own when the lookup is
// dropped; it then touches nothing but the state it shares with it.
class HostLookup : public QObject {
    Q_OBJECT

public:
    explicit HostLookup(QObject* parent = nullptr);
    ~HostLookup() override;

    // Looks up a comma-separated list of host names (socket folders pass as they are);
    // Resolved follows.
    void Start(const QByteArray& hosts);
    // A lookup under way is forgotten; no Resolved comes for it.
    void Cancel();

Q_SIGNALS:
    // Every address of every name, and the name again for each, as libpq's host and hostaddr
    // take them (comma-separated, one to one), so that libpq tries them all in turn as it
    // does with names. Both empty when a name has no address.
    void Resolved(const QByteArray& hosts, const QByteArray& addresses);

private:
    struct Shared;
    void OnDone();

    std::shared_ptr<Shared> Running;
    QSocketNotifier* Done = nullptr;
};

} // namespace vimo
