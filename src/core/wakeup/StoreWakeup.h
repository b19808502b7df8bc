#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

class QFileSystemWatcher;
class QTimer;

namespace vimo {

class BrokerLink;
class LookupThreads;
class PgListener;
class Store;
class StoreWorker;

// The channel on which a PostgreSQL store announces a note for the user, with nothing said:
// any role may listen on any channel, and a key there would tell it when the user gets
// notes. "vimo_" and the MD5 of the name's UTF-8 bytes, so that any name makes a safe
// identifier that fits the 63 bytes of one. The trigger of resources/postgresql-schema.sql
// computes the same.
QByteArray WakeupChannel(const QString& user);

// The channel on which the store announces notes for the user. In the identity mode it is the
// bound role's secret (Store::OwnWakeupChannel), made by the store at the first ask and given
// to that role alone, so that nobody else can listen there or wake the copy; elsewhere
// WakeupChannel(user). Empty when the store would not say: the poll then brings the notes.
// Asks the store: call it where its link lives.
QByteArray WakeupChannelOf(Store& store, const QString& user);

// The user's topic on the office's broker: "vimo/wakeup/" and the name. Anybody may send
// there; the broker's rules let the user alone hear it, which a secret name could not do,
// since every sender must be able to name it. Empty for a name that MQTT cannot carry as one
// level of a topic.
QByteArray WakeupTopic(const QString& user);

// Says when a note for the user may have come to the store, where the store can tell: a
// PostgreSQL store that announces new notes, a SQLite data file on a local disk, watched for
// changes, or one on a network share, whose change counter is read every CheckMs. Where the
// data source names a broker, that takes the place of all three, on any engine: senders wake
// the copy through it, and tell it of their own notes through Announce. It knows
// nothing of the poll and delivers nothing: its signal only brings the next poll forward, and
// where it cannot work the poll goes on as it always does.
class StoreWakeup : public QObject {
    Q_OBJECT

public:
    enum class Means { None, Listening, FileWatch, FileCheck, Broker };
    Q_ENUM(Means)

    // A burst of notes gives one signal: it comes once nothing more was heard for QuietMs,
    // or LongestWaitMs after the first, and never sooner than LeastGapMs after the one
    // before: whoever floods the channel, or a poll that wrote to a watched file, costs the
    // copy one extra poll a second at most.
    static constexpr int QuietMs = 100;
    static constexpr int LongestWaitMs = 1000;
    static constexpr int LeastGapMs = 1000;
    // How often a data file on a network share is asked whether it changed: delivery waits
    // half of it on average, and every copy costs the share one open and one read of a page
    // each time (bench/README.md).
    static constexpr int CheckMs = 1000;

    // Host names are looked up on the threads given, which outlive this.
    StoreWakeup(const QString& user, LookupThreads& threads, QObject* parent = nullptr);
    ~StoreWakeup() override;

    // Starts listening, watching or checking, as the engine behind the worker's store allows,
    // once the worker has said which engine that is. The checks run on the worker, so that a
    // share that hangs keeps the desktop turning.
    void Start(StoreWorker& worker);
    // Listening or watching alone, for the engine of a store no worker holds.
    void Start(Store& store);
    // How it hears of notes now.
    Means Active() const;
    // Wakes the copies of those the user's note has just been stored for, where a broker
    // carries wake-ups; nothing elsewhere.
    void Announce(const QStringList& recipients);

Q_SIGNALS:
    // Poll soon.
    void NoteMayHaveArrived();

private:
    // For the engine as Store::EngineName names it, and the user's channel there.
    void Start(const QString& engine, const QByteArray& channel);
    bool StartBroker();
    void StartListening(const QByteArray& channel);
    void StartWatching(const QString& file);
    void WatchAgain();
    void StartChecking(const QString& file);
    void Check();
    void Heard();
    void Wake();

    const QString User;
    LookupThreads& Threads;
    PgListener* Listener = nullptr;
    BrokerLink* Broker = nullptr;
    QFileSystemWatcher* Watcher = nullptr;
    QString WatchedFile;
    std::pair<quint64, quint64> WatchedIdentity; // device and inode
    QTimer* const Debounce;
    QTimer* const WatchRetry;
    StoreWorker* Worker = nullptr;
    QTimer* CheckTimer = nullptr;
    QString CheckedFile;
    bool CheckAsked = false;
    bool CounterRead = false;
    std::optional<quint32> LastCounter;
    QElapsedTimer FirstHeard;
    QElapsedTimer LastWake;
};

} // namespace vimo
