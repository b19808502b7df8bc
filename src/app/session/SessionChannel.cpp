#include "app/session/SessionChannel.h"

#include "app/session/LocalSocket.h"
#include "app/session/SocketFolder.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QSocketNotifier>
#include <QTimer>

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

    void Drop()
    {
        Readable.setEnabled(false);
        deleteLater();
    }

    LocalSocket::Descriptor Socket;
    QSocketNotifier Readable;
    QByteArray Received;
};

SessionChannel::SessionChannel()
    : SessionChannel(
        SocketFolder::SocketPathFor(QProcessEnvironment::systemEnvironment(), ::getuid()))
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

bool SessionChannel::HandOver(DesktopCommand command)
{
    if (Path.isEmpty() || QFile::encodeName(Path).size() > LocalSocket::LongestPath())
        return false;
    // Two starts at once: the later one waits until the first serves, then hands over.
    Lock = std::make_unique<QLockFile>(Path + QStringLiteral(".lock"));
    if (!Lock->tryLock(LockWaitMs))
        Lock.reset();

    const LocalSocket::Descriptor socket(LocalSocket::ConnectTo(Path, ConnectWaitMs));
    if (socket.Get() < 0)
        return false;
    const DesktopCommand asked = command == DesktopCommand::None ? DesktopCommand::New : command;
    const bool sent = LocalSocket::SendAll(
        socket.Get(), CommandWord(asked).toLatin1() + '\n', QDeadlineTimer(ConnectWaitMs));
    if (!sent
        || LocalSocket::ReceiveLine(socket.Get(), QDeadlineTimer(AnswerWaitMs), LongestRequest)
                .trimmed()
            != "ok")
        std::fputs("vimo: Vimo already runs on this desktop but does not answer\n", stderr);
    return true;
}

bool SessionChannel::Listen()
{
    if (ListeningSocket < 0 && Path.isEmpty())
        std::fputs("vimo: no private folder for the socket through which later starts reach this "
                   "copy; each start runs a copy of its own\n",
            stderr);
    if (ListeningSocket >= 0 || Path.isEmpty()
        || QFile::encodeName(Path).size() > LocalSocket::LongestPath()) {
        Lock.reset();
        return ListeningSocket >= 0;
    }
    const int fd = LocalSocket::ListenAt(Path);
    if (fd < 0)
        std::fprintf(
            stderr, "vimo: a second start cannot reach this copy: %s\n", std::strerror(errno));
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
        const int fd = LocalSocket::AcceptNext(ListeningSocket);
        if (fd < 0)
            return;
        auto* peer = new SessionPeer(fd, this);
        connect(&peer->Readable, &QSocketNotifier::activated, this, [this, peer] { Answer(peer); });
    }
}

void SessionChannel::Answer(SessionPeer* peer)
{
    // The other side went, or nothing more has come yet.
    const bool open = LocalSocket::ReceiveAvailable(peer->Socket.Get(), peer->Received);
    const qsizetype end = peer->Received.indexOf('\n');
    if (end < 0) {
        if (!open || peer->Received.size() > LongestRequest)
            peer->Drop();
        return;
    }
    const QByteArray word = peer->Received.left(end).trimmed();
    const DesktopCommand command = word.size() <= LongestRequest
        ? CommandFromWord(QString::fromLatin1(word))
        : DesktopCommand::None;
    LocalSocket::SendNow(peer->Socket.Get(), command != DesktopCommand::None ? "ok\n" : "?\n");
    peer->Drop();
    if (command != DesktopCommand::None)
        QTimer::singleShot(0, this, [this, command] { Q_EMIT CommandReceived(command); });
}

} // namespace vimo
