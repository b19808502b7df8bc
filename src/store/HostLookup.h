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

    // Looks up a comma-separated list of host names; Resolved follows.
    void Start(const QByteArray& hosts);
    // A lookup under way is forgotten; no Resolved comes for it.
    void Cancel();

Q_SIGNALS:
    // One address for each name, comma-separated as libpq's hostaddr takes them; empty when a
    // name has none.
    void Resolved(const QByteArray& addresses);

private:
    struct Shared;
    void OnDone();

    std::shared_ptr<Shared> Running;
    QSocketNotifier* Done = nullptr;
};

} // namespace vimo
