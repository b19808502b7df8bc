#include "tray/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QPointer>
#include <QSystemTrayIcon>

#include <utility>

namespace vimo {
namespace {

// The urgency hint of the notification service: 1 normal, 2 critical.
constexpr uchar NormalUrgency = 1;
constexpr uchar CriticalUrgency = 2;

const QString ServiceName = QStringLiteral("org.freedesktop.Notifications");
const QString ServicePath = QStringLiteral("/org/freedesktop/Notifications");
const QString ActionKey = QStringLiteral("vimo-action");

} // namespace

DesktopNotifier::DesktopNotifier(Fallback fallback, const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , ShowInstead(std::move(fallback))
    , Bus(bus)
    , Previous(SetNotificationHandler([this](const NoteNotification& n) { Show(n); }))
{
    auto* service = new QDBusServiceWatcher(ServiceName, Bus,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
        this);
    connect(service, &QDBusServiceWatcher::serviceRegistered, this,
        [] { SetNotificationServiceRuns(true); });
    connect(service, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        // A service started anew counts its ids from the start again.
        Offered.clear();
        AskWhetherServiceRuns();
    });
    AskWhetherServiceRuns();
    if (!Bus.isConnected())
        return;
    Bus.connect(ServiceName, ServicePath, ServiceName, QStringLiteral("ActionInvoked"), this,
        SLOT(OnActionInvoked(uint, QString)));
    Bus.connect(ServiceName, ServicePath, ServiceName, QStringLiteral("NotificationClosed"), this,
        SLOT(OnClosed(uint, uint)));
    // Whether the service reads markup in a body: asked once, without waiting.
    const QDBusMessage ask = QDBusMessage::createMethodCall(
        ServiceName, ServicePath, ServiceName, QStringLiteral("GetCapabilities"));
    auto* capabilities = new QDBusPendingCallWatcher(Bus.asyncCall(ask, ReplyTimeoutMs), this);
    connect(capabilities, &QDBusPendingCallWatcher::finished, this,
        [this](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            const QDBusPendingReply<QStringList> reply = *finished;
            // The bus starts a service for this call: one that fails to start or does not
            // answer counts as none.
            SetNotificationServiceRuns(reply.isValid());
            if (reply.isValid()) {
                MarkupInBody = reply.value().contains(QStringLiteral("body-markup"));
                ShowsActions = reply.value().contains(QStringLiteral("actions"));
            }
        });
}

DesktopNotifier::~DesktopNotifier()
{
    SetNotificationHandler(std::move(Previous));
    SetNotificationServiceRuns(false);
}

void DesktopNotifier::AskWhetherServiceRuns()
{
    SetNotificationServiceRuns(false);
    if (!Bus.isConnected())
        return;
    // Asked without waiting, as every call to the bus here.
    for (const QString& method :
        { QStringLiteral("NameHasOwner"), QStringLiteral("ListActivatableNames") }) {
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
            QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
            method);
        if (method == u"NameHasOwner")
            call << ServiceName;
        auto* watcher = new QDBusPendingCallWatcher(Bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [](QDBusPendingCallWatcher* answered) {
                answered->deleteLater();
                const QVariant answer = answered->reply().arguments().value(0);
                if (answer.toBool() || answer.toStringList().contains(ServiceName))
                    SetNotificationServiceRuns(true);
            });
    }
}

void DesktopNotifier::Show(const NoteNotification& notification)
{
    if (!Bus.isConnected() || (notification.Action && !ShowsActions)) {
        NotShown(notification);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        ServiceName, ServicePath, ServiceName, QStringLiteral("Notify"));
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
         << (notification.Action ? QStringList { ActionKey, notification.ActionLabel }
                                 : QStringList())
         << hints << -1;
    // Asked without waiting: a service that starts on demand or hangs must not stop the poll.
    auto* watcher = new QDBusPendingCallWatcher(Bus.asyncCall(call, ReplyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, notification](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            // Until a service answers again, new notes announce themselves at once.
            SetNotificationServiceRuns(!finished->isError());
            if (finished->isError())
                NotShown(notification);
            else if (notification.Action)
                Offered.insert(QDBusPendingReply<uint>(*finished).value(), notification.Action);
        });
}

void DesktopNotifier::OnActionInvoked(uint id, const QString& key)
{
    if (key != ActionKey)
        return;
    // Once: a service may keep the notification, and its button, after it was pressed.
    const std::function<void()> action = Offered.take(id);
    if (action)
        action();
}

void DesktopNotifier::OnClosed(uint id, uint /*reason*/)
{
    Offered.remove(id);
}

void DesktopNotifier::NotShown(const NoteNotification& notification)
{
    if (!notification.Action)
        ShowInstead(notification);
    // The tray's message is no alert to a screen reader.
    if (notification.Missed)
        notification.Missed();
}

DesktopNotifier::Fallback DesktopNotifier::TrayMessage(QSystemTrayIcon* tray)
{
    return [icon = QPointer<QSystemTrayIcon>(tray)](const NoteNotification& notification) {
        // Qt shows the message as plain text in a balloon of its own, but hands it to the
        // notification service as a markup body where the tray goes over the bus: the names
        // from the store stay out of it.
        const QString text
            = notification.Unnamed.isEmpty() ? notification.Text : notification.Unnamed;
        if (icon)
            icon->showMessage(notification.Title, text,
                notification.Critical ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
    };
}

} // namespace vimo
