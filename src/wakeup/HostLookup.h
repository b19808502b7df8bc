#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QObject>

class QHostInfo;

namespace vimo {

// Looks host names up through Qt's own lookup pool, for a name server that does not answer
// holds a lookup for many seconds. A lookup that is dropped is aborted: its answer never
// arrives.
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
    void OnFound(qsizetype index, const QHostInfo& info);
    void Finish();

    QByteArrayList Names;
    // The addresses of each name, filled as the answers come.
    QList<QByteArrayList> Addresses;
    // Qt's ids of the lookups started, and how many have not answered yet.
    QList<int> Running;
    int Waiting = 0;
    // Counts the lookups started, so that an answer for an older one is known as such.
    quint64 Round = 0;
};

} // namespace vimo
