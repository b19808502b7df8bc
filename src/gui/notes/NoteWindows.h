#pragma once

#include "delivery/NoteDisplay.h"
#include "delivery/NoteInbox.h"
#include "delivery/NoteSlotTable.h"
#include "delivery/UrgentNoteWatch.h"
#include "notes/NoteShowQueue.h"

#include <QIcon>
#include <QObject>
#include <QString>

#include <memory>

class QWidget;

namespace vimo {

class CNoteDlg;
class StoreWorker;

// The notes of one user on this screen: a window for each note its inbox opens, in the slot
// the inbox gives, hiding and showing them all, and the red ones raised again. The windows
// are owned by the owner widget, yet deleted only through this object; so the owner holds it
// as a member (destroyed before the owner's children), not as a QObject child.
class NoteWindows : public QObject, public NoteDisplay {
    Q_OBJECT

public:
    // The notes addressed to user, read from the store through the worker. An untouched red
    // note comes to the front again every urgentInterval.
    NoteWindows(QWidget* owner, StoreWorker& worker, const QString& user,
        std::chrono::milliseconds urgentInterval = UrgentNoteWatch::DefaultInterval);
    ~NoteWindows() override;

    // The store side: polls, deletions, reachability.
    NoteInbox& Inbox() { return Notes; }
    const NoteInbox& Inbox() const { return Notes; }

    // Hiding them all counts as touching every one. Showing them puts the keyboard on the
    // newest.
    void SetAllNotesVisible(bool show);

    // A red note waits that the user has not touched yet.
    bool UrgentNoteWaits() const { return Urgent.UrgentNoteWaits(); }

    void ShowNote(const NoteRow& row, int slot, bool announce) override;
    void CloseNote(int slot, bool passFocus) override;
    void Announce(qint64 key) override;

Q_SIGNALS:
    void UrgentNoteWaitsChanged();
    // The user chose Reply on a note from sender.
    void ReplyRequested(const QString& sender);

private:
    // One open note's window.
    struct ShownWindow {
        qint64 Key = 0;
        std::unique_ptr<CNoteDlg> Window;
    };

    void FocusNewestNote();
    void RaiseAgain(QObject* window);
    void OnDeleteNote(qint64 key, int slot);

    QWidget* const Owner;
    // Decoded once for all the notes; without it they would take the owner's larger icon.
    const QIcon NoteIcon;
    NoteSlotTable<ShownWindow> Windows;
    UrgentNoteWatch Urgent;
    NoteShowQueue Showing;
    // Last: it is gone before the windows, and never calls back into them while it goes.
    NoteInbox Notes;
};

} // namespace vimo
