#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QtGlobal>

namespace vimo::LocalSocket {

// The longest path a local socket may have on this system.
qsizetype LongestPath();

// A socket descriptor closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd)
        : Fd(fd)
    {
    }
    ~Descriptor();
    Q_DISABLE_COPY_MOVE(Descriptor)
    int Get() const { return Fd; }

private:
    int Fd;
};

// A socket connected to the one at the path, or -1 when nobody serves there in time.
int ConnectTo(const QString& path, int waitMs);

// A socket listening at the path that only this user may reach (a socket left there by a copy
// that ended without closing it is replaced), or -1 with errno set.
int ListenAt(const QString& path);

// The next start waiting on the listening socket, or -1 when none waits.
int AcceptNext(int listening);

bool SendAll(int fd, const QByteArray& data, QDeadlineTimer deadline);

// The first line the other side sends, without its line break; what came when it ends, the
// deadline passes or more than `longest` bytes came without one.
QByteArray ReceiveLine(int fd, QDeadlineTimer deadline, qsizetype longest);

// Adds what has arrived to `received` without waiting; false when the other side has gone.
bool ReceiveAvailable(int fd, QByteArray& received);

// Sends a short answer without waiting; a start that has gone does not matter.
void SendNow(int fd, const QByteArray& data);

} // namespace vimo::LocalSocket
