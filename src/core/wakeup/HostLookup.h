#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QObject>

#include <memory>

namespace vimo {

class LookupThreads;

// Looks host names up on the program's lookup threads, for a name server that does not answer
// holds a lookup for many seconds. A lookup that is dropped is forgotten: its answer never
// arrives.
// The system's resolver rather than Qt's network module, which a copy would load (with
// Kerberos and the proxy library) for this alone.
class HostLookup : public QObject {
    Q_OBJECT

public:
    explicit HostLookup(LookupThreads& threads, QObject* parent = nullptr);
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
    struct Answers;

    void OnFound(qsizetype index, quint64 round, const QByteArrayList& addresses);
    void Finish();

    LookupThreads& Threads;
    QByteArrayList Names;
    // The addresses of each name, filled as the answers come.
    QList<QByteArrayList> Addresses;
    int Waiting = 0;
    // Counts the lookups started, so that an answer for an older one is known as such.
    quint64 Round = 0;
    // Where the lookup threads send their answers; it outlives this object for the threads
    // still waiting on a name server.
    const std::shared_ptr<Answers> Inbox;
};

} // namespace vimo
