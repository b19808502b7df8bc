#include "app/session/SocketFolder.h"

#include "app/session/LocalSocket.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>

#include <cstdio>

namespace vimo::SocketFolder {
namespace {

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

bool Fits(const QString& path)
{
    return QFile::encodeName(path).size() <= LocalSocket::LongestPath();
}

} // namespace

QString SocketPathFor(const QProcessEnvironment& environment, uint userId)
{
    const QString file = QStringLiteral("/vimo-%1.socket").arg(SessionName(environment));
    const QString runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    if (QDir::isAbsolutePath(runtime) && IsPrivateFolder(runtime, userId) && Fits(runtime + file))
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
        if (!Fits(folder + file))
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

} // namespace vimo::SocketFolder
