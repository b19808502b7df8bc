#include "tray/IdleWatch.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QTimer>

namespace vimo {
namespace {

struct IdleSource {
    const char* Service;
    const char* Path;
    const char* Interface;
    const char* Method;
    qint64 PerSecond; // the unit of the answer
};

constexpr IdleSource Sources[] = {
    { "org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core",
        "org.gnome.Mutter.IdleMonitor", "GetIdletime", 1000 },
    { "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver",
        "GetSessionIdleTime", 1 },
};

} // namespace

IdleWatch::IdleWatch(const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , Bus(bus)
    , Timer(new QTimer(this))
{
    Timer->setInterval(60 * 1000);
    connect(Timer, &QTimer::timeout, this, [this] { Ask(0); });
    if (Bus.isConnected())
        Timer->start();
}

void IdleWatch::Ask(int source)
{
    if (source >= int(std::size(Sources)))
        return;
    const IdleSource& from = Sources[source];
    const QDBusMessage ask = QDBusMessage::createMethodCall(QLatin1String(from.Service),
        QLatin1String(from.Path), QLatin1String(from.Interface), QLatin1String(from.Method));
    auto* watcher = new QDBusPendingCallWatcher(Bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, source, perSecond = from.PerSecond](QDBusPendingCallWatcher* call) {
            call->deleteLater();
            // GNOME answers a 64-bit count, KDE a 32-bit one: any whole number will do.
            const QDBusMessage answer = call->reply();
            bool number = false;
            const qulonglong idleFor = answer.arguments().value(0).toULongLong(&number);
            // The first desktop that answers speaks for the session.
            if (answer.type() != QDBusMessage::ReplyMessage || !number) {
                Ask(source + 1);
                return;
            }
            const bool idle = qint64(idleFor) / perSecond >= IdleAfterSec;
            if (std::exchange(Idle, idle) != idle)
                Q_EMIT IdleChanged(idle);
        });
}

} // namespace vimo
