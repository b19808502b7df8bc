#include "app/SessionChannel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QTimer>

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <utility>

namespace vimo {
namespace {

constexpr int ConnectWaitMs = 1000;
// The running copy answers from its event loop, which runs inside every dialog it shows.
constexpr int AnswerWaitMs = 5000;
constexpr int LockWaitMs = 5000;
constexpr qint64 LongestRequest = 32;
// A local socket's path must fit the system's address, terminating zero included.
constexpr qsizetype LongestSocketPath = sizeof(sockaddr_un::sun_path) - 1;
constexpr qsizetype LongestSessionName = 24;

// A name for the display the session shows its windows on: ":0.0" and ":0" are one display.
QString SessionName(const QProcessEnvironment& environment)
{
    QString display = environment.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (display.isEmpty()) {
        display = environment.value(QStringLiteral("DISPLAY"));
        display.remove(QRegularExpression(QStringLiteral("\\.\\d+$")));
    }
    if (display.isEmpty())
        display = QStringLiteral("no-display");
    // A display named by a long path still makes a short name.
    if (display.size() > LongestSessionName) {
        display = QString::fromLatin1(
            QCryptographicHash::hash(display.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    }
    display.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
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

} // namespace

SessionChannel::SessionChannel()
    : SessionChannel(SocketPathFor(QProcessEnvironment::systemEnvironment(), ::getuid()))
{
}

SessionChannel::SessionChannel(QString socketPath)
    : Path(std::move(socketPath))
{
    connect(&Server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = Server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Answer(socket); });
            // A start that connects and says nothing is dropped.
            QTimer::singleShot(AnswerWaitMs, socket, [socket] { socket->abort(); });
            if (socket->bytesAvailable() > 0)
                Answer(socket);
        }
    });
}

SessionChannel::~SessionChannel() = default;

QString SessionChannel::SocketPathFor(const QProcessEnvironment& environment, uint userId)
{
    const QString file = QStringLiteral("/vimo-%1.socket").arg(SessionName(environment));
    const QString runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    if (QDir::isAbsolutePath(runtime) && IsPrivateFolder(runtime, userId)
        && QFile::encodeName(runtime + file).size() <= LongestSocketPath)
        return runtime + file;

    const QString folder = QDir::tempPath() + QStringLiteral("/vimo-%1").arg(userId);
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    if (!IsPrivateFolder(folder, userId)
        || QFile::encodeName(folder + file).size() > LongestSocketPath)
        return QString();
    return folder + file;
}

bool SessionChannel::HandOver(DesktopCommand command)
{
    if (Path.isEmpty())
        return false;
    // Two starts at once: the later one waits until the first serves, then hands over.
    Lock = std::make_unique<QLockFile>(Path + QStringLiteral(".lock"));
    if (!Lock->tryLock(LockWaitMs))
        Lock.reset();

    QLocalSocket socket;
    socket.connectToServer(Path);
    if (!socket.waitForConnected(ConnectWaitMs))
        return false;
    const DesktopCommand asked = command == DesktopCommand::None ? DesktopCommand::New : command;
    socket.write(CommandWord(asked).toLatin1() + '\n');
    socket.waitForBytesWritten(ConnectWaitMs);
    while (!socket.canReadLine() && socket.waitForReadyRead(AnswerWaitMs)) { }
    if (socket.readLine().trimmed() != "ok")
        std::fputs("vimo: Vimo already runs on this desktop but does not answer\n", stderr);
    return true;
}

bool SessionChannel::Listen()
{
    bool listening = false;
    if (!Path.isEmpty()) {
        Server.setSocketOptions(QLocalServer::UserAccessOption);
        listening = Server.listen(Path);
        if (!listening && Server.serverError() == QAbstractSocket::AddressInUseError) {
            // Left by a copy that ended without closing it: nobody answered there.
            QLocalServer::removeServer(Path);
            listening = Server.listen(Path);
        }
        if (!listening) {
            std::fprintf(stderr, "vimo: a second start cannot reach this copy: %s\n",
                qPrintable(Server.errorString()));
        }
    }
    Lock.reset();
    return listening;
}

void SessionChannel::Answer(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > LongestRequest)
            socket->abort();
        return;
    }
    const DesktopCommand command
        = CommandFromWord(QString::fromLatin1(socket->readLine(LongestRequest).trimmed()));
    socket->write(command != DesktopCommand::None ? "ok\n" : "?\n");
    socket->disconnectFromServer();
    if (command != DesktopCommand::None)
        QTimer::singleShot(0, this, [this, command] { Q_EMIT CommandReceived(command); });
}

} // namespace vimo
