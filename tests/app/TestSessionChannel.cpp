#include "TestEnvironment.h"

#include "app/session/SessionChannel.h"
#include "app/session/SocketFolder.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <memory>

using namespace vimo;
using namespace Qt::StringLiterals;

namespace {

// A later start, in a thread of its own: the running copy answers from this thread's loop.
struct LaterStart {
    LaterStart(const QString& path, DesktopCommand command)
        : Thread(QThread::create([this, path, command] {
            SessionChannel channel(path);
            HandedOver = channel.HandOver(command);
        }))
    {
        Thread->start();
    }
    bool Finished() const { return Thread->isFinished(); }

    bool HandedOver = false;
    std::unique_ptr<QThread> Thread;
};

// What a copy killed without a chance to clean up leaves behind: a socket file nobody serves.
void LeaveDeadSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::copy(name.begin(), name.end(), address.sun_path);
    QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    ::close(fd);
    QVERIFY(QFile::exists(path));
}

// The permission bits of the group and of others: none for a private file or folder.
unsigned OthersAccess(const QString& path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0777;
    return info.st_mode & 077;
}

} // namespace

Q_DECLARE_METATYPE(vimo::DesktopCommand)

// One copy serves each user's session; later starts hand their command to it.
class TestSessionChannel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(Folder.isValid());
        QFile::setPermissions(
            Folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Path = Folder.filePath(u"vimo-test.socket"_s);
    }

    void laterStartsReachTheRunningCopy_data()
    {
        QTest::addColumn<DesktopCommand>("asked");
        QTest::addColumn<DesktopCommand>("received");
        QTest::addRow("a plain start asks for a new note")
            << DesktopCommand::None << DesktopCommand::New;
        QTest::addRow("the desktop action Show All")
            << DesktopCommand::ShowAll << DesktopCommand::ShowAll;
        QTest::addRow("the desktop action Quit") << DesktopCommand::Quit << DesktopCommand::Quit;
        QTest::addRow("the start at login") << DesktopCommand::Login << DesktopCommand::Login;
    }

    void laterStartsReachTheRunningCopy()
    {
        QFETCH(DesktopCommand, asked);
        QFETCH(DesktopCommand, received);
        SessionChannel first(Path);
        QVERIFY(!first.HandOver(DesktopCommand::None));
        QVERIFY(first.Listen());
        QSignalSpy commands(&first, &SessionChannel::CommandReceived);

        LaterStart later(Path, asked);
        QTRY_VERIFY(later.Finished());
        QVERIFY(later.HandedOver);
        QTRY_COMPARE(commands.size(), 1);
        QCOMPARE(commands.at(0).at(0).value<DesktopCommand>(), received);
    }

    void aCopyThatDiedLeavesNoObstacle()
    {
        LeaveDeadSocket(Path);
        SessionChannel next(Path);
        QVERIFY(!next.HandOver(DesktopCommand::None));
        QVERIFY(next.Listen());

        LaterStart later(Path, DesktopCommand::HideAll);
        QTRY_VERIFY(later.Finished());
        QVERIFY(later.HandedOver);
    }

    void theSocketGoesWithTheCopy()
    {
        {
            SessionChannel first(Path);
            QVERIFY(!first.HandOver(DesktopCommand::None));
            QVERIFY(first.Listen());
            QVERIFY(QFile::exists(Path));
            // Only its user may reach it.
            QCOMPARE(OthersAccess(Path), 0u);
        }
        QVERIFY(!QFile::exists(Path));
        SessionChannel next(Path);
        QVERIFY(!next.HandOver(DesktopCommand::New));
    }

    void anUnknownRequestCarriesOutNothing()
    {
        SessionChannel first(Path);
        QVERIFY(!first.HandOver(DesktopCommand::None));
        QVERIFY(first.Listen());
        QSignalSpy commands(&first, &SessionChannel::CommandReceived);

        QLocalSocket stranger;
        stranger.connectToServer(Path);
        QVERIFY(stranger.waitForConnected(5000));
        stranger.write("format-disk\n");
        QTRY_VERIFY(stranger.canReadLine());
        QCOMPARE(stranger.readLine(), QByteArray("?\n"));
        QTest::qWait(50);
        QCOMPARE(commands.size(), 0);
    }

    void eachUserAndSessionHasItsOwnSocket()
    {
        const uint me = ::getuid();
        const auto pathFor = [](const QStringList& variables, uint user) {
            QProcessEnvironment environment;
            for (const QString& variable : variables)
                environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
            return SocketFolder::SocketPathFor(environment, user);
        };
        const QString runtime = u"XDG_RUNTIME_DIR="_s + Folder.path();
        const QString onZero = pathFor({ runtime, u"DISPLAY=:0"_s }, me);
        QVERIFY(onZero.startsWith(Folder.path() + u'/'));
        QCOMPARE(pathFor({ runtime, u"DISPLAY=:0.0"_s }, me), onZero);
        QVERIFY(pathFor({ runtime, u"DISPLAY=:1"_s }, me) != onZero);
        QVERIFY(
            pathFor({ runtime, u"DISPLAY=:0"_s, u"WAYLAND_DISPLAY=wayland-0"_s }, me) != onZero);

        // Without a private runtime folder: a folder of the user's own under the temporary one.
        QTemporaryDir temporary;
        qputenv("TMPDIR", QFile::encodeName(temporary.path()));
        const QString shared = temporary.filePath(u"shared"_s);
        QVERIFY(QDir().mkdir(shared));
        QFile::setPermissions(
            shared, QFile::permissions(shared) | QFile::ReadOther | QFile::ExeOther);
        const QString fallback = pathFor({ u"XDG_RUNTIME_DIR="_s + shared, u"DISPLAY=:0"_s }, me);
        QCOMPARE(QFileInfo(fallback).path(), temporary.filePath(u"vimo-%1"_s.arg(me)));
        QCOMPARE(OthersAccess(QFileInfo(fallback).path()), 0u);
        // A name someone else made first (here a link) moves it to the user's cache folder.
        QVERIFY(QDir(QFileInfo(fallback).path()).removeRecursively());
        QVERIFY(QFile::link(u"/"_s, QFileInfo(fallback).path()));
        const QString moved = pathFor({ u"XDG_CACHE_HOME="_s + shared }, me);
        QCOMPARE(QFileInfo(moved).path(), shared + u"/vimo-%1"_s.arg(me));
        QVERIFY(QFile::remove(QFileInfo(fallback).path()));
        // Another user's folder is never taken: this process cannot make one owned by them.
        QVERIFY(pathFor({ runtime, u"DISPLAY=:0"_s }, me + 1).isEmpty());

        // Long names (a Wayland display given as a path, a deep runtime folder) still give a
        // socket the system can make.
        const QString deep = Folder.filePath(QString(100, u'd'));
        QVERIFY(QDir().mkdir(deep));
        QFile::setPermissions(deep, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString wayland = u"WAYLAND_DISPLAY="_s + deep + u"/wayland-0"_s;
        for (const QStringList& variables : { QStringList { runtime, wayland },
                 QStringList { u"XDG_RUNTIME_DIR="_s + deep, u"DISPLAY=:0"_s } }) {
            SessionChannel channel(pathFor(variables, me));
            QVERIFY(!channel.HandOver(DesktopCommand::None));
            QVERIFY(channel.Listen());
        }
        qunsetenv("TMPDIR");
    }

private:
    QTemporaryDir Folder;
    QString Path;
};

VIMO_TEST_MAIN(TestSessionChannel, QCoreApplication)
#include "TestSessionChannel.moc"
