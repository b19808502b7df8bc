#pragma once

#include <QList>
#include <QString>

#include <functional>

// Telling the user, beside the notes themselves, that notes came. It goes through one
// replaceable handler: the desktop installs its notification service at start-up, tests
// install recorders.
namespace vimo {

struct NoteNotification {
    QString Title; // "Vimo"
    QString Text; // "3 new Vimos from ANN, BOB"
    bool Critical = false; // a red note is among them
    // The text without the names, "3 new Vimos", for a place that may read it as markup and
    // cannot be told not to.
    QString Unnamed = {};
    // Called, perhaps long after, when no service showed it: then the notes must tell the
    // user themselves.
    std::function<void()> Missed = nullptr;
    // A button the notification offers ("Undo"), and what it does when pressed. Where no
    // service shows it with the button, Missed is called and nothing else is shown: the caller
    // offers it its own way.
    QString ActionLabel = {};
    std::function<void()> Action = nullptr;
};

using NotificationHandler = std::function<void(const NoteNotification& notification)>;

// Returns the handler it replaces, so a test can put it back.
NotificationHandler SetNotificationHandler(NotificationHandler handler);

// Hands the notification to the current handler; without one it is missed.
void ShowNotification(const NoteNotification& notification);

// A note that a poll has just opened.
struct ArrivedNote {
    QString Sender;
    int Urgency = 0;
};

// The one notification for the notes of one poll: the count and the senders, in the order
// they came, each once.
NoteNotification NewNotesNotification(const QList<ArrivedNote>& notes);

// The settings value Vimo/Notifications: on unless it says 0, false, no or off.
bool NotificationsEnabled();

// Shows the notification of the notes a poll opened, when there are any and notifications
// are on; missed is called if no service showed it.
void NotifyNewNotes(const QList<ArrivedNote>& notes, std::function<void()> missed = {});

// Whether a notification service will tell the user of new notes: the desktop says whether
// one runs (none until it does, none again once a call to it failed), the settings whether
// notifications are on. Where none will, a new note announces itself to screen readers.
void SetNotificationServiceRuns(bool runs);
bool NotificationsAnnounceNotes();

} // namespace vimo
