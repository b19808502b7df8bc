#pragma once

#include "prompts/Notifications.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>

#include <functional>

class QSystemTrayIcon;

namespace vimo {

// Shows the program's notifications through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), a red note's marked critical so that
// the desktop keeps it until it is read. Where no service answers, the fallback shows it,
// by default as a message of the tray icon, and the notification is missed; one with a button
// is left to its caller then, the tray's message has none. While it lives it is the
// notification handler, and it keeps telling the exchange whether a service runs.
class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    using Fallback = std::function<void(const NoteNotification& notification)>;

    // How long a service may take to answer, starting up included, before the fallback
    // shows the notification instead.
    static constexpr int ReplyTimeoutMs = 10000;

    explicit DesktopNotifier(Fallback fallback,
        const QDBusConnection& bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    // Puts back the handler it replaced.
    ~DesktopNotifier() override;

    void Show(const NoteNotification& notification);

    // The fallback that shows a notification as a message of the tray icon.
    static Fallback TrayMessage(QSystemTrayIcon* tray);

private Q_SLOTS:
    void OnActionInvoked(uint id, const QString& key);
    void OnClosed(uint id, uint reason);

private:
    // Whether the service runs now, or would be started by the bus for the first call.
    void AskWhetherServiceRuns();
    // No service showed the notification: the fallback shows it, and it counts as missed.
    void NotShown(const NoteNotification& notification);

    const Fallback ShowInstead;
    QDBusConnection Bus;
    NotificationHandler Previous;
    bool MarkupInBody = true;
    // Until the service has said that it shows buttons, a notification with one is missed.
    bool ShowsActions = false;
    // The buttons of the notifications it shows, by the service's id, until they close.
    QHash<uint, std::function<void()>> Offered;
};

} // namespace vimo
