#include "app/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QSystemTrayIcon>

#include <utility>

namespace vimo {
namespace {

// The urgency hint of the notification service: 1 normal, 2 critical.
constexpr uchar NormalUrgency = 1;
constexpr uchar CriticalUrgency = 2;

} // namespace

DesktopNotifier::DesktopNotifier(Fallback fallback, const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , ShowInstead(std::move(fallback))
    , Bus(bus)
    , Previous(SetNotificationHandler([this](const NoteNotification& n) { Show(n); }))
{
    if (!Bus.isConnected())
        return;
    const QDBusMessage ask
        = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(Bus.asyncCall(ask, ReplyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            const QDBusPendingReply<QStringList> reply = *finished;
            if (reply.isValid())
                MarkupInBody = reply.value().contains(QStringLiteral("body-markup"));
        });
}

DesktopNotifier::~DesktopNotifier()
{
    SetNotificationHandler(std::move(Previous));
}

void DesktopNotifier::Show(const NoteNotification& notification)
{
    if (!Bus.isConnected()) {
        ShowInstead(notification);
        return;
    }
    QDBusMessage call
        = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints {
        { QStringLiteral("urgency"),
            QVariant::fromValue(notification.Critical ? CriticalUrgency : NormalUrgency) },
        { QStringLiteral("desktop-entry"), QStringLiteral("vimo") },
    };
    // The text names senders, as the store has them: it goes in the body, escaped where the
    // service reads markup there (until it has said, it may), never in the summary, which
    // some services read as markup too.
    const QString body = MarkupInBody ? notification.Text.toHtmlEscaped() : notification.Text;
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the
    // service decides; it keeps a critical one until it is read).
    call << notification.Title << 0U << QStringLiteral("vimo") << notification.Title << body
         << QStringList() << hints << -1;
    // Asked without waiting: a service that starts on demand or hangs must not stop the poll.
    auto* watcher = new QDBusPendingCallWatcher(Bus.asyncCall(call, ReplyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, notification](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            if (finished->isError())
                ShowInstead(notification);
        });
}

DesktopNotifier::Fallback DesktopNotifier::TrayMessage(QSystemTrayIcon* tray)
{
    return [icon = QPointer<QSystemTrayIcon>(tray)](const NoteNotification& notification) {
        if (icon)
            icon->showMessage(notification.Title, notification.Text,
                notification.Critical ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
    };
}

} // namespace vimo
