#include "wakeup/StoreWakeup.h"

#include "model/TextRules.h"
#include "store/Store.h"
#include "store/StoreWorker.h"
#include "wakeup/BrokerLink.h"
#include "wakeup/DataFileCheck.h"
#include "wakeup/DataSourceKeys.h"
#include "wakeup/LibMosquitto.h"
#include "wakeup/LibPq.h"
#include "wakeup/PgListener.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>

#include <sys/stat.h>
#include <sys/vfs.h>

namespace vimo {
namespace {

// A file system on which a change made on another machine is never seen by a local watch:
// the network ones, and FUSE, which sshfs and most cluster file systems use.
bool IsNetworkFileSystem(const QString& folder)
{
    struct statfs status { };
    if (::statfs(QFile::encodeName(folder).constData(), &status) != 0)
        return true;
    static constexpr unsigned long network[] = {
        0x6969, // NFS
        0x517B, // SMB
        0xFF534D42, // CIFS
        0xFE534D42, // SMB2
        0x01021997, // 9P
        0x5346414F, // AFS
        0x00C36400, // Ceph
        0x0BD00BD0, // Lustre
        0x564C, // NCP
        0x73757245, // Coda
        0x65735546, // FUSE
    };
    return std::find(
               std::begin(network), std::end(network), static_cast<unsigned long>(status.f_type))
        != std::end(network);
}

// The file a path names now: device and inode, or nothing when there is none.
std::pair<quint64, quint64> FileIdentity(const QString& path)
{
    struct stat status { };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return { quint64(status.st_dev), quint64(status.st_ino) };
}

} // namespace

QByteArray WakeupChannel(const QString& user)
{
    return "vimo_"
        + QCryptographicHash::hash(CutTrailingWhiteSpace(user).toUtf8(), QCryptographicHash::Md5)
              .toHex();
}

QByteArray WakeupChannelOf(Store& store, const QString& user)
{
    if (!store.ThroughFunctions())
        return WakeupChannel(user);
    const QByteArray channel = store.OwnWakeupChannel().Value.toLatin1();
    // It goes into a LISTEN as it stands.
    static const QRegularExpression identifier(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    return identifier.match(QString::fromLatin1(channel)).hasMatch() ? channel : QByteArray();
}

QByteArray WakeupTopic(const QString& user)
{
    const QByteArray name = CutTrailingWhiteSpace(user).toUtf8();
    // Wildcards, a level separator and NUL would make it another topic, or none.
    if (name.isEmpty() || name.contains('+') || name.contains('#') || name.contains('/')
        || name.contains('\0'))
        return {};
    return "vimo/wakeup/" + name;
}

StoreWakeup::StoreWakeup(const QString& user, LookupThreads& threads, QObject* parent)
    : QObject(parent)
    , User(user)
    , Threads(threads)
    , Debounce(new QTimer(this))
    , WatchRetry(new QTimer(this))
{
    Debounce->setSingleShot(true);
    connect(Debounce, &QTimer::timeout, this, &StoreWakeup::Wake);
    WatchRetry->setInterval(5000);
    connect(WatchRetry, &QTimer::timeout, this, &StoreWakeup::WatchAgain);
}

StoreWakeup::~StoreWakeup() = default;

void StoreWakeup::Start(StoreWorker& worker)
{
    Worker = &worker;
    // Asked, not waited for: the tray comes first.
    worker.Run(
        [user = User](
            Store& store) { return std::pair(store.EngineName(), WakeupChannelOf(store, user)); },
        this, [this](const auto& answer) { Start(answer.first, answer.second); });
}

void StoreWakeup::Start(Store& store)
{
    Start(store.EngineName(), WakeupChannelOf(store, User));
}

void StoreWakeup::Start(const QString& engine, const QByteArray& channel)
{
    if (!ListeningWanted() || StartBroker())
        return;
    if (engine == QLatin1String("PostgreSQL"))
        StartListening(channel);
    else if (engine == QLatin1String("SQLite"))
        StartWatching(QString::fromUtf8(DataSourceKey("Database")));
}

StoreWakeup::Means StoreWakeup::Active() const
{
    if (Broker != nullptr && Broker->CurrentState() == BrokerLink::State::Subscribed)
        return Means::Broker;
    if (Listener != nullptr && Listener->CurrentState() == PgListener::State::Listening)
        return Means::Listening;
    if (Watcher != nullptr && !Watcher->files().isEmpty())
        return Means::FileWatch;
    if (CheckTimer != nullptr)
        return Means::FileCheck;
    return Means::None;
}

void StoreWakeup::Announce(const QStringList& recipients)
{
    if (Broker == nullptr)
        return;
    for (const QString& recipient : recipients)
        Broker->Publish(WakeupTopic(recipient));
}

bool StoreWakeup::StartBroker()
{
    BrokerSettings settings = ReadBrokerSettings(User);
    const QByteArray topic = WakeupTopic(User);
    if (settings.Host.isEmpty())
        return false;
    // Named but unusable here: the poll alone, rather than 10,000 listening links the
    // administrator meant to spare the server.
    if (LibMosquitto::Get() == nullptr || topic.isEmpty())
        return true;
    Broker = new BrokerLink(std::move(settings), topic, Threads, this);
    connect(Broker, &BrokerLink::Notified, this, &StoreWakeup::Heard);
    Broker->Start();
    return true;
}

void StoreWakeup::StartListening(const QByteArray& channel)
{
    // Built elsewhere, without its libpq5 dependency: the poll alone, as before.
    if (LibPq::Get() == nullptr || channel.isEmpty())
        return;
    Listener = new PgListener(ReadListenParameters(), channel, Threads, this);
    connect(Listener, &PgListener::Notified, this, &StoreWakeup::Heard);
    Listener->Start();
}

void StoreWakeup::StartWatching(const QString& file)
{
    if (file.isEmpty())
        return;
    if (IsNetworkFileSystem(QFileInfo(file).absolutePath())) {
        StartChecking(file);
        return;
    }
    WatchedFile = QFileInfo(file).absoluteFilePath();
    Watcher = new QFileSystemWatcher(this);
    connect(Watcher, &QFileSystemWatcher::fileChanged, this, [this] {
        Heard();
        // A file replaced (restored from a copy, or written anew and renamed over it) is
        // another file under the same name: the watch would go on following the old one.
        if (FileIdentity(WatchedFile) != WatchedIdentity) {
            Watcher->removePaths(Watcher->files());
            WatchAgain();
        }
    });
    WatchAgain();
}

void StoreWakeup::WatchAgain()
{
    bool watching = !Watcher->files().isEmpty();
    if (!watching) {
        WatchedIdentity = FileIdentity(WatchedFile);
        watching
            = WatchedIdentity != std::pair<quint64, quint64>() && Watcher->addPath(WatchedFile);
    }
    if (watching)
        WatchRetry->stop();
    else if (!WatchRetry->isActive())
        WatchRetry->start();
}

void StoreWakeup::StartChecking(const QString& file)
{
    if (Worker == nullptr)
        return;
    CheckedFile = QFileInfo(file).absoluteFilePath();
    CheckTimer = new QTimer(this);
    connect(CheckTimer, &QTimer::timeout, this, &StoreWakeup::Check);
    CheckTimer->start(CheckMs);
    Check();
}

void StoreWakeup::Check()
{
    // One at a time: while the worker waits for the store, a poll could not run either.
    if (CheckAsked)
        return;
    CheckAsked = true;
    // On the worker, between two jobs: the link then holds no lock that closing the file
    // could drop. And behind any poll asked before, so a change seen here is one that a poll
    // asked from now on reads.
    Worker->Run([file = CheckedFile](Store&) { return ReadChangeCounter(file); }, this,
        [this](std::optional<quint32> counter) {
            CheckAsked = false;
            const bool changed = CounterRead && counter != LastCounter;
            CounterRead = true;
            LastCounter = counter;
            if (changed)
                Wake();
        });
}

void StoreWakeup::Heard()
{
    if (!Debounce->isActive())
        FirstHeard.start();
    qint64 wait = std::min<qint64>(QuietMs, LongestWaitMs - FirstHeard.elapsed());
    if (LastWake.isValid())
        wait = std::max(wait, LeastGapMs - LastWake.elapsed());
    Debounce->start(int(std::max<qint64>(wait, 0)));
}

void StoreWakeup::Wake()
{
    LastWake.start();
    Q_EMIT NoteMayHaveArrived();
}

} // namespace vimo
