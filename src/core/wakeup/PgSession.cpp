#include "wakeup/PgSession.h"

#include "wakeup/LibPq.h"

#include <QSocketNotifier>

#include <vector>

namespace vimo {
namespace {

// Close may run inside a notifier's own signal: the notifier goes once that returns.
void Discard(QSocketNotifier*& notifier)
{
    if (notifier == nullptr)
        return;
    notifier->setEnabled(false);
    notifier->disconnect();
    notifier->deleteLater();
    notifier = nullptr;
}

} // namespace

PgSession::PgSession(QObject* parent)
    : QObject(parent)
    , Pq(LibPq::Get())
{
}

PgSession::~PgSession()
{
    Close();
}

void PgSession::Open(const PgParameters& parameters)
{
    Close();
    if (Pq == nullptr) {
        Fail(QStringLiteral("libpq.so.5 is not installed"));
        return;
    }
    std::vector<const char*> keywords;
    std::vector<const char*> values;
    for (const auto& [keyword, value] : parameters) {
        keywords.push_back(keyword.constData());
        values.push_back(value.constData());
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    Connection = Pq->PQconnectStartParams(keywords.data(), values.data(), 0);
    if (Connection == nullptr || Pq->PQstatus(Connection) == CONNECTION_BAD) {
        Fail(Connection != nullptr ? QString::fromUtf8(Pq->PQerrorMessage(Connection))
                                   : QStringLiteral("out of memory"));
        return;
    }
    // The server's notices and its last words when it goes are libpq's to print on standard
    // error otherwise; the listener says what matters in its own log.
    Pq->PQsetNoticeProcessor(
        Connection, [](void*, const char*) {}, nullptr);
    State = Phase::Connecting;
    // libpq's first step is writing: the connect itself.
    WatchSocket(true);
}

void PgSession::Send(const QByteArray& query)
{
    if (State != Phase::Idle)
        return;
    FirstValue.clear();
    QueryError.clear();
    if (Pq->PQsendQuery(Connection, query.constData()) == 0) {
        Fail(QString::fromUtf8(Pq->PQerrorMessage(Connection)));
        return;
    }
    State = Phase::Querying;
    Flush();
}

void PgSession::Close()
{
    Discard(Reader);
    Discard(Writer);
    if (Connection != nullptr)
        Pq->PQfinish(Connection);
    Connection = nullptr;
    State = Phase::Closed;
}

void PgSession::WatchSocket(bool forWriting)
{
    // libpq may open another socket while it connects (the next address, or without TLS).
    const int socket = Pq->PQsocket(Connection);
    if (Reader == nullptr || Reader->socket() != socket) {
        Discard(Reader);
        Discard(Writer);
        Reader = new QSocketNotifier(socket, QSocketNotifier::Read, this);
        Writer = new QSocketNotifier(socket, QSocketNotifier::Write, this);
        connect(Reader, &QSocketNotifier::activated, this, &PgSession::OnSocket);
        connect(Writer, &QSocketNotifier::activated, this, &PgSession::OnSocket);
    }
    Reader->setEnabled(!forWriting || State != Phase::Connecting);
    Writer->setEnabled(forWriting);
}

void PgSession::OnSocket()
{
    switch (State) {
    case Phase::Connecting:
        Connecting();
        break;
    case Phase::Idle:
    case Phase::Querying:
        if (Writer->isEnabled())
            Flush();
        if (State != Phase::Closed)
            Reading();
        break;
    case Phase::Closed:
        break;
    }
}

void PgSession::Connecting()
{
    switch (Pq->PQconnectPoll(Connection)) {
    case PGRES_POLLING_READING:
        WatchSocket(false);
        break;
    case PGRES_POLLING_WRITING:
        WatchSocket(true);
        break;
    case PGRES_POLLING_OK:
        if (Pq->PQsetnonblocking(Connection, 1) != 0) {
            Fail(QString::fromUtf8(Pq->PQerrorMessage(Connection)));
            return;
        }
        State = Phase::Idle;
        WatchSocket(false);
        Q_EMIT Opened();
        break;
    default:
        Fail(QString::fromUtf8(Pq->PQerrorMessage(Connection)));
        break;
    }
}

void PgSession::Flush()
{
    const int left = Pq->PQflush(Connection);
    if (left < 0)
        Fail(QString::fromUtf8(Pq->PQerrorMessage(Connection)));
    else
        Writer->setEnabled(left > 0);
}

void PgSession::Reading()
{
    if (Pq->PQconsumeInput(Connection) == 0) {
        Fail(QString::fromUtf8(Pq->PQerrorMessage(Connection)));
        return;
    }
    // The results first: a notification that comes with them is about what they did.
    bool answered = false;
    while (State == Phase::Querying && Pq->PQisBusy(Connection) == 0) {
        PGresult* result = Pq->PQgetResult(Connection);
        if (result == nullptr) {
            State = Phase::Idle;
            answered = true;
            break;
        }
        const ExecStatusType status = Pq->PQresultStatus(result);
        if (status == PGRES_TUPLES_OK && Pq->PQntuples(result) > 0)
            FirstValue = Pq->PQgetvalue(result, 0, 0);
        else if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK && QueryError.isEmpty())
            QueryError = QString::fromUtf8(Pq->PQresultErrorMessage(result)).trimmed();
        Pq->PQclear(result);
    }
    QList<std::pair<QByteArray, QByteArray>> notices;
    while (PGnotify* notice = Pq->PQnotifies(Connection)) {
        notices.append(std::pair<QByteArray, QByteArray>(notice->relname, notice->extra));
        Pq->PQfreemem(notice);
    }
    // A receiver may close the session or open it anew: nothing of it is touched after this.
    if (answered && !QueryError.isEmpty()) {
        Fail(QueryError);
        return;
    }
    if (answered)
        Q_EMIT Answered(FirstValue);
    for (const auto& [channel, payload] : notices)
        Q_EMIT Notified(channel, payload);
}

void PgSession::Fail(const QString& reason)
{
    Close();
    Q_EMIT Failed(reason.trimmed());
}

} // namespace vimo
