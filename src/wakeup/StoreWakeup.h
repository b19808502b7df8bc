#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <utility>

class QFileSystemWatcher;
class QTimer;

namespace vimo {

class PgListener;
class Store;

// The channel on which a PostgreSQL store announces a note for the user, with nothing said:
// any role may listen on any channel, and a key there would tell it when the user gets
// notes. "vimo_" and the MD5 of the name's UTF-8 bytes, so that any name makes a safe
// identifier that fits the 63 bytes of one. The trigger of resources/postgresql-schema.sql
// computes the same.
QByteArray WakeupChannel(const QString& user);

// Says when a note for the user may have come to the store, where the store can tell: a
// PostgreSQL store that announces new notes, or a SQLite data file on a local disk, watched
// for changes. It knows nothing of the poll and delivers nothing: its signal only brings the
// next poll forward, and where it cannot work the poll goes on as it always does.
class StoreWakeup : public QObject {
    Q_OBJECT

public:
    enum class Means { None, Listening, FileWatch };
    Q_ENUM(Means)

    // A burst of notes gives one signal: it comes once nothing more was heard for QuietMs,
    // or LongestWaitMs after the first, and never sooner than LeastGapMs after the one
    // before: whoever floods the channel, or a poll that wrote to a watched file, costs the
    // copy one extra poll a second at most.
    static constexpr int QuietMs = 100;
    static constexpr int LongestWaitMs = 1000;
    static constexpr int LeastGapMs = 1000;

    explicit StoreWakeup(const QString& user, QObject* parent = nullptr);
    ~StoreWakeup() override;

    // Starts listening or watching, as the engine behind the store's link allows.
    void Start(const Store& store);
    // The same, for the engine as Store::EngineName names it.
    void Start(const QString& engine);
    // How it hears of notes now.
    Means Active() const;

Q_SIGNALS:
    // Poll soon.
    void NoteMayHaveArrived();

private:
    void StartListening();
    void StartWatching(const QString& file);
    void WatchAgain();
    void Heard();
    void Wake();

    const QString User;
    PgListener* Listener = nullptr;
    QFileSystemWatcher* Watcher = nullptr;
    QString WatchedFile;
    std::pair<quint64, quint64> WatchedIdentity; // device and inode
    QTimer* const Debounce;
    QTimer* const WatchRetry;
    QElapsedTimer FirstHeard;
    QElapsedTimer LastWake;
};

} // namespace vimo
