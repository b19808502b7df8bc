#include "app/session/LocalSocket.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vimo::LocalSocket {
namespace {

bool AddressOf(const QString& path, sockaddr_un& address)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || name.size() > LongestPath())
        return false;
    address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    return true;
}

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

} // namespace

qsizetype LongestPath()
{
    // The terminating zero must fit the system's address as well.
    return qsizetype(sizeof(sockaddr_un::sun_path)) - 1;
}

Descriptor::~Descriptor()
{
    if (Fd >= 0)
        ::close(Fd);
}

namespace {

// Whether the other end of a connected socket runs as this user. The folder and the socket's
// mode keep others out already; this holds should either be wrong. Elsewhere than on Linux
// the folder is the only guard.
bool PeerIsUs(int fd)
{
#ifdef SO_PEERCRED
    ucred peer {};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
#else
    Q_UNUSED(fd);
    return true;
#endif
}

} // namespace

int ConnectTo(const QString& path, int waitMs)
{
    sockaddr_un address;
    if (!AddressOf(path, address))
        return -1;
    const int fd = NewSocket();
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0
        && PeerIsUs(fd))
        return fd;
    int error = errno;
    // A full backlog: the copy is busy, give it a moment.
    if ((error == EAGAIN || error == EINPROGRESS) && WaitFor(fd, POLLOUT, QDeadlineTimer(waitMs))) {
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0
            && PeerIsUs(fd))
            return fd;
    }
    ::close(fd);
    return -1;
}

int ListenAt(const QString& path)
{
    sockaddr_un address;
    if (!AddressOf(path, address)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const QByteArray name = QFile::encodeName(path);
    const auto* named = reinterpret_cast<const sockaddr*>(&address);
    const int fd = NewSocket();
    bool bound = fd >= 0 && ::bind(fd, named, sizeof address) == 0;
    if (!bound && fd >= 0 && errno == EADDRINUSE) {
        // Left by a copy that ended without closing it: nobody answered there.
        ::unlink(name.constData());
        bound = ::bind(fd, named, sizeof address) == 0;
    }
    // Only this user may reach it; the folder it is in is private as well.
    if (bound && ::chmod(name.constData(), 0600) == 0 && ::listen(fd, SOMAXCONN) == 0)
        return fd;
    const int error = errno;
    if (bound)
        ::unlink(name.constData());
    if (fd >= 0)
        ::close(fd);
    errno = error;
    return -1;
}

int AcceptNext(int listening)
{
    for (;;) {
        const int fd = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0 || PeerIsUs(fd))
            return fd;
        ::close(fd);
    }
}

bool SendAll(int fd, const QByteArray& data, QDeadlineTimer deadline)
{
    qsizetype sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(
            fd, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += n;
            continue;
        }
        // Nothing sent: only an interruption or a full buffer is worth another try.
        if (n == 0 || (errno != EINTR && (errno != EAGAIN || !WaitFor(fd, POLLOUT, deadline))))
            return false;
    }
    return true;
}

QByteArray ReceiveLine(int fd, QDeadlineTimer deadline, qsizetype longest)
{
    QByteArray received;
    while (!received.contains('\n') && received.size() <= longest) {
        char chunk[64];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            received.append(chunk, n);
            continue;
        }
        if (n == 0 || (errno != EINTR && (errno != EAGAIN || !WaitFor(fd, POLLIN, deadline))))
            break;
    }
    return received.left(received.indexOf('\n'));
}

bool ReceiveAvailable(int fd, QByteArray& received)
{
    for (;;) {
        char chunk[64];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0)
            received.append(chunk, n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return n < 0 && errno == EAGAIN;
    }
}

void SendNow(int fd, const QByteArray& data)
{
    ::send(fd, data.constData(), size_t(data.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
}

} // namespace vimo::LocalSocket
