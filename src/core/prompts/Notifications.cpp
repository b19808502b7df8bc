#include "prompts/Notifications.h"

#include "model/NoteTexts.h"
#include "model/TextRules.h"
#include "setup/Profile.h"

#include <QCoreApplication>
#include <QStringList>

#include <utility>

namespace vimo {
namespace {

// Past this many the rest of the senders are counted, not named: a notification is read at
// a glance.
constexpr int NamedSenders = 5;

NotificationHandler& CurrentNotificationHandler()
{
    static NotificationHandler handler;
    return handler;
}

bool ServiceRuns = false;

} // namespace

NotificationHandler SetNotificationHandler(NotificationHandler handler)
{
    return std::exchange(CurrentNotificationHandler(), std::move(handler));
}

void ShowNotification(const NoteNotification& notification)
{
    const NotificationHandler handler = CurrentNotificationHandler();
    if (handler)
        handler(notification);
    else if (notification.Missed)
        notification.Missed();
}

NoteNotification NewNotesNotification(const QList<ArrivedNote>& notes)
{
    QStringList senders;
    bool critical = false;
    for (const ArrivedNote& note : notes) {
        const QString sender = ShownLine(SeenName(note.Sender), ShownNameLength);
        if (!sender.isEmpty() && !senders.contains(sender))
            senders.append(sender);
        critical = critical || note.Urgency == 3;
    }
    const auto count = notes.size();
    QString text = (count == 1 ? QCoreApplication::translate("Notifications", "%1 new Vimo")
                               : QCoreApplication::translate("Notifications", "%1 new Vimos"))
                       .arg(count);
    const QString unnamed = text;
    if (!senders.isEmpty()) {
        const auto unnamed = senders.size() - NamedSenders;
        QString names = senders.mid(0, NamedSenders).join(u", ");
        if (unnamed > 0)
            names = QCoreApplication::translate("Notifications", "%1 and %2 more")
                        .arg(names)
                        .arg(unnamed);
        text = QCoreApplication::translate("Notifications", "%1 from %2").arg(text, names);
    }
    return { QStringLiteral("Vimo"), text, critical, unnamed };
}

bool NotificationsEnabled()
{
    const QString value
        = ReadProfileValue(QStringLiteral("Vimo"), QStringLiteral("Notifications")).trimmed();
    for (const char* off : { "0", "false", "no", "off" }) {
        if (value.compare(QLatin1String(off), Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

void NotifyNewNotes(const QList<ArrivedNote>& notes, std::function<void()> missed)
{
    if (notes.isEmpty() || !NotificationsEnabled())
        return;
    NoteNotification notification = NewNotesNotification(notes);
    notification.Missed = std::move(missed);
    ShowNotification(notification);
}

void SetNotificationServiceRuns(bool runs)
{
    ServiceRuns = runs;
}

bool NotificationsAnnounceNotes()
{
    return ServiceRuns && NotificationsEnabled();
}

} // namespace vimo
