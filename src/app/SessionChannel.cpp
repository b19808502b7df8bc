#include "app/SessionChannel.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace vimo {
namespace {

constexpr int ConnectWaitMs = 1000;
// The running copy answers from its event loop, which runs inside every dialog it shows.
constexpr int AnswerWaitMs = 5000;
constexpr int LockWaitMs = 5000;
constexpr qsizetype LongestRequest = 32;
// A local socket's path must fit the system's address, terminating zero included.
constexpr qsizetype LongestSocketPath = sizeof(sockaddr_un::sun_path) - 1;
constexpr qsizetype LongestSessionName = 24;

bool IsNameCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
        || c == u'_' || c == u'-';
}

// ":0.0" names the same display as ":0".
QString WithoutScreenNumber(QString display)
{
    const qsizetype dot = display.lastIndexOf(u'.');
    if (dot < 0 || dot + 1 == display.size())
        return display;
    for (qsizetype i = dot + 1; i < display.size(); ++i) {
        if (!display.at(i).isDigit())
            return display;
    }
    display.truncate(dot);
    return display;
}

// A name for the display the session shows its windows on: ":0.0" and ":0" are one display.
QString SessionName(const QProcessEnvironment& environment)
{
    QString display = environment.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (display.isEmpty())
        display = WithoutScreenNumber(environment.value(QStringLiteral("DISPLAY")));
    if (display.isEmpty())
        display = QStringLiteral("no-display");
    // A display named by a long path still makes a short name.
    if (display.size() > LongestSessionName) {
        display = QString::fromLatin1(
            QCryptographicHash::hash(display.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    }
    for (QChar& c : display) {
        if (!IsNameCharacter(c))
            c = u'_';
    }
    return display;
}

// A folder that only this user can enter; anything else there could be another user's trap.
bool IsPrivateFolder(const QString& path, uint userId)
{
    struct stat info { };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == userId && (info.st_mode & 077) == 0;
}

// Makes the folder, or takes it when it is already the user's own (made open by an older
// copy or another umask: closed now); anything else under that name is someone else's.
bool MakePrivateFolder(const QString& path, uint userId)
{
    const QByteArray name = QFile::encodeName(path);
    ::mkdir(name.constData(), 0700);
    struct stat info { };
    if (::lstat(name.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == userId
        && (info.st_mode & 077) != 0)
        ::chmod(name.constData(), 0700);
    return IsPrivateFolder(path, userId);
}

bool AddressOf(const QString& path, sockaddr_un& address)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || name.size() > LongestSocketPath)
        return false;
    address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    return true;
}

// A socket descriptor closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd)
        : Fd(fd)
    {
    }
    ~Descriptor()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    Q_DISABLE_COPY_MOVE(Descriptor)
    int Get() const { return Fd; }

private:
    int Fd;
};

int NewSocket()
{
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

// Waits until the socket is ready for the events or the deadline passes.
bool WaitFor(int fd, short events, QDeadlineTimer deadline)
{
    pollfd watched { fd, events, 0 };
    for (;;) {
        const int ready = ::poll(&watched, 1, int(deadline.remainingTime()));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

bool Connect(int fd, const sockaddr_un& address)
{
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return true;
    // A full backlog: the copy is busy, give it a moment.
    if (errno != EAGAIN && errno != EINPROGRESS)
        return false;
    if (!WaitFor(fd, POLLOUT, QDeadlineTimer(ConnectWaitMs)))
        return false;
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

bool SendAll(int fd, const QByteArray& data, QDeadlineTimer deadline)
{
    qsizetype sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(
            fd, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
            sent += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        else if (n < 0 && errno == EAGAIN && !WaitFor(fd, POLLOUT, deadline))
            return false;
    }
    return true;
}

// The first line the other side sends, without its line break; what came when it ends or the
// deadline passes without one.
QByteArray ReceiveLine(int fd, QDeadlineTimer deadline)
{
    QByteArray received;
    while (!received.contains('\n') && received.size() <= LongestRequest) {
        char chunk[64];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0)
            received.append(chunk, n);
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            break;
        else if (errno == EAGAIN && !WaitFor(fd, POLLIN, deadline))
            break;
    }
    return received.left(received.indexOf('\n'));
}

} // namespace

// One start connected to the running copy: what it sent so far, dropped when it says nothing.
class SessionPeer : public QObject {
public:
    SessionPeer(int fd, QObject* owner)
        : QObject(owner)
        , Socket(fd)
        , Readable(fd, QSocketNotifier::Read, this)
    {
        QTimer::singleShot(AnswerWaitMs, this, &QObject::deleteLater);
    }

    Descriptor Socket;
    QSocketNotifier Readable;
    QByteArray Received;
};

SessionChannel::SessionChannel()
    : SessionChannel(SocketPathFor(QProcessEnvironment::systemEnvironment(), ::getuid()))
{
}

SessionChannel::SessionChannel(QString socketPath)
    : Path(std::move(socketPath))
{
}

SessionChannel::~SessionChannel()
{
    if (ListeningSocket < 0)
        return;
    delete Listening;
    ::close(ListeningSocket);
    // The next copy finds no socket that nobody serves.
    ::unlink(QFile::encodeName(Path).constData());
}

QString SessionChannel::SocketPathFor(const QProcessEnvironment& environment, uint userId)
{
    const QString file = QStringLiteral("/vimo-%1.socket").arg(SessionName(environment));
    const QString runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    if (QDir::isAbsolutePath(runtime) && IsPrivateFolder(runtime, userId)
        && QFile::encodeName(runtime + file).size() <= LongestSocketPath)
        return runtime + file;

    // Anyone may make a folder under the temporary one first, so a taken name moves the
    // socket to the user's own cache folder: every start of this user looks in the same order.
    QStringList folders { QDir::tempPath() + QStringLiteral("/vimo-%1").arg(userId) };
    QString cache = environment.value(QStringLiteral("XDG_CACHE_HOME"));
    if (!QDir::isAbsolutePath(cache)
        && QDir::isAbsolutePath(environment.value(QStringLiteral("HOME"))))
        cache = environment.value(QStringLiteral("HOME")) + QStringLiteral("/.cache");
    if (QDir::isAbsolutePath(cache))
        folders.append(cache + QStringLiteral("/vimo-%1").arg(userId));
    for (const QString& folder : folders) {
        if (QFile::encodeName(folder + file).size() > LongestSocketPath)
            continue;
        QDir().mkpath(QFileInfo(folder).path());
        if (MakePrivateFolder(folder, userId)) {
            if (folder != folders.first())
                std::fprintf(stderr,
                    "vimo: %s is not a private folder of this user's; later starts reach this copy "
                    "through %s\n",
                    QFile::encodeName(folders.first()).constData(),
                    QFile::encodeName(folder).constData());
            return folder + file;
        }
    }
    return QString();
}

bool SessionChannel::HandOver(DesktopCommand command)
{
    sockaddr_un address;
    if (!AddressOf(Path, address))
        return false;
    // Two starts at once: the later one waits until the first serves, then hands over.
    Lock = std::make_unique<QLockFile>(Path + QStringLiteral(".lock"));
    if (!Lock->tryLock(LockWaitMs))
        Lock.reset();

    const Descriptor socket(NewSocket());
    if (socket.Get() < 0 || !Connect(socket.Get(), address))
        return false;
    const DesktopCommand asked = command == DesktopCommand::None ? DesktopCommand::New : command;
    const bool sent = SendAll(
        socket.Get(), CommandWord(asked).toLatin1() + '\n', QDeadlineTimer(ConnectWaitMs));
    if (!sent || ReceiveLine(socket.Get(), QDeadlineTimer(AnswerWaitMs)).trimmed() != "ok")
        std::fputs("vimo: Vimo already runs on this desktop but does not answer\n", stderr);
    return true;
}

bool SessionChannel::Listen()
{
    sockaddr_un address;
    if (ListeningSocket < 0 && Path.isEmpty())
        std::fputs("vimo: no private folder for the socket through which later starts reach this "
                   "copy; each start runs a copy of its own\n",
            stderr);
    if (ListeningSocket >= 0 || !AddressOf(Path, address)) {
        Lock.reset();
        return ListeningSocket >= 0;
    }
    const QByteArray path = QFile::encodeName(Path);
    const auto* named = reinterpret_cast<const sockaddr*>(&address);
    int fd = NewSocket();
    bool bound = fd >= 0 && ::bind(fd, named, sizeof address) == 0;
    if (!bound && fd >= 0 && errno == EADDRINUSE) {
        // Left by a copy that ended without closing it: nobody answered there.
        ::unlink(path.constData());
        bound = ::bind(fd, named, sizeof address) == 0;
    }
    // Only this user may reach it; the folder it is in is private as well.
    const bool listening
        = bound && ::chmod(path.constData(), 0600) == 0 && ::listen(fd, SOMAXCONN) == 0;
    if (!listening) {
        std::fprintf(
            stderr, "vimo: a second start cannot reach this copy: %s\n", std::strerror(errno));
        if (bound)
            ::unlink(path.constData());
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    Lock.reset();
    if (fd < 0)
        return false;

    ListeningSocket = fd;
    Listening = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(Listening, &QSocketNotifier::activated, this, &SessionChannel::AcceptStarts);
    return true;
}

void SessionChannel::AcceptStarts()
{
    for (;;) {
        const int fd = ::accept4(ListeningSocket, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        auto* peer = new SessionPeer(fd, this);
        connect(&peer->Readable, &QSocketNotifier::activated, this, [this, peer] { Answer(peer); });
    }
}

void SessionChannel::Answer(SessionPeer* peer)
{
    for (;;) {
        char chunk[64];
        const ssize_t n = ::recv(peer->Socket.Get(), chunk, sizeof chunk, 0);
        if (n > 0) {
            peer->Received.append(chunk, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // The other side went, or nothing more has come yet.
        const bool ended = n == 0 || errno != EAGAIN;
        if (ended && !peer->Received.contains('\n')) {
            peer->Readable.setEnabled(false);
            peer->deleteLater();
            return;
        }
        break;
    }
    const qsizetype end = peer->Received.indexOf('\n');
    if (end < 0) {
        if (peer->Received.size() > LongestRequest) {
            peer->Readable.setEnabled(false);
            peer->deleteLater();
        }
        return;
    }
    const QByteArray word = peer->Received.left(end).trimmed();
    const DesktopCommand command = word.size() <= LongestRequest
        ? CommandFromWord(QString::fromLatin1(word))
        : DesktopCommand::None;
    const QByteArray answer = command != DesktopCommand::None ? "ok\n" : "?\n";
    ::send(
        peer->Socket.Get(), answer.constData(), size_t(answer.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    peer->Readable.setEnabled(false);
    peer->deleteLater();
    if (command != DesktopCommand::None)
        QTimer::singleShot(0, this, [this, command] { Q_EMIT CommandReceived(command); });
}

} // namespace vimo
