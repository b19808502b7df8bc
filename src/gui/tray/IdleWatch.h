#pragma once

#include <QDBusConnection>
#include <QObject>

class QTimer;

namespace vimo {

// Asks the desktop, once a minute, how long the user has not touched it, and says when that
// passes IdleAfterSec or ends. GNOME answers through its idle monitor, KDE and others through
// the freedesktop screen saver; a desktop that answers neither is never idle.
class IdleWatch : public QObject {
    Q_OBJECT

public:
    static constexpr int IdleAfterSec = 10 * 60;

    explicit IdleWatch(
        const QDBusConnection& bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

Q_SIGNALS:
    void IdleChanged(bool idle);

private:
    void Ask(int source);

    QDBusConnection Bus;
    QTimer* const Timer;
    bool Idle = false;
};

} // namespace vimo
