#pragma once

#include "exchange/NoteSlotTable.h"
#include "exchange/PendingDeletions.h"

#include <QObject>
#include <QString>

class QWidget;

namespace vimo {

class CNoteDlg;
class Store;

// The notes of one user on this screen: polling the store for them, opening each
// in the lowest free slot, hiding and showing them all, and deleting them on request. The
// notes are windows owned by the owner widget, yet deleted only through this object; so the
// owner holds it as a member (destroyed before the owner's children), not as a QObject child.
class NoteExchange : public QObject {
    Q_OBJECT

public:
    // The notes addressed to user, read from the store.
    NoteExchange(QWidget* owner, Store& store, const QString& user);
    ~NoteExchange() override;

    // Opens a window for every note addressed to the user that has none yet. A poll
    // that comes due while another one still runs (waiting on an alert) is skipped.
    void PollNotes();

    void SetAllNotesVisible(bool show);

    // Closes every note whose deletion is pending and deletes its rows from the store.
    void CarryOutDeletions();

    // Closes every note window; the notes stay in the store.
    void CloseAllNotes();

    int OpenNotes() const { return NoteSlotTable.Count(); }

Q_SIGNALS:
    // A note window opened or went: the tray tooltip counts again.
    void NotesChanged();
    // A deletion waits: the owner (re)starts its delete timer.
    void DeletionRequested();

private:
    // Opens the note with this key in the lowest free slot, coloured by its urgency.
    void ShowNote(int key);
    // A note asked to be deleted: recorded until CarryOutDeletions runs.
    void OnDeleteNote(int key, int slot);

    QWidget* const Owner;
    Store& SharedStore;
    const QString User;
    vimo::NoteSlotTable<CNoteDlg> NoteSlotTable;
    PendingDeletions Pending;
    bool Polling = false;
};

} // namespace vimo
