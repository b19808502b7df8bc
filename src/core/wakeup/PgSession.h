#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

#include <utility>

class QSocketNotifier;
struct pg_conn;

namespace vimo {

struct LibPq;

// libpq connection parameters, keyword and value, in order.
using PgParameters = QList<std::pair<QByteArray, QByteArray>>;

// One PostgreSQL connection driven without ever waiting: libpq in non-blocking mode, its
// socket watched by the event loop. It connects, runs one query text at a time and passes on
// the notifications that arrive. Host names must come resolved (hostaddr), for libpq looks
// names up while it waits.
class PgSession : public QObject {
    Q_OBJECT

public:
    explicit PgSession(QObject* parent = nullptr);
    ~PgSession() override;

    // Starts connecting; Opened or Failed follows. Failed at once when libpq is missing.
    void Open(const PgParameters& parameters);
    // Sends a query text (several statements may share it) once Opened; Answered follows, or
    // Failed when any statement was refused or the link broke.
    void Send(const QByteArray& query);
    // Ends the connection without a signal.
    void Close();

Q_SIGNALS:
    void Opened();
    // The first value of the last result that had rows; empty when none had.
    void Answered(const QByteArray& firstValue);
    void Notified(const QByteArray& channel, const QByteArray& payload);
    // The connection is gone; the session is closed when this comes.
    void Failed(const QString& reason);

private:
    enum class Phase { Closed, Connecting, Idle, Querying };

    void WatchSocket(bool forWriting);
    void OnSocket();
    void Connecting();
    void Reading();
    void Flush();
    void Fail(const QString& reason);

    const LibPq* const Pq;
    pg_conn* Connection = nullptr;
    Phase State = Phase::Closed;
    QSocketNotifier* Reader = nullptr;
    QSocketNotifier* Writer = nullptr;
    QByteArray FirstValue;
    QString QueryError;
};

} // namespace vimo
