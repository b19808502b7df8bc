#include "exchange/NoteExchange.h"

#include "exchange/TrayLogic.h"
#include "notes/CNoteDlg.h"
#include "store/Prompts.h"
#include "store/Store.h"
#include "widgets/CColorLabel.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vimo {
namespace {

QRect AvailableArea(const QWidget* owner)
{
    const QScreen* screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

} // namespace

NoteExchange::NoteExchange(QWidget* owner, Store& store, const QString& user)
    : Owner(owner)
    , SharedStore(store)
    , User(user)
{
}

NoteExchange::~NoteExchange()
{
    CloseAllNotes();
}

void NoteExchange::PollNotes()
{
    // A poll waiting on an alert keeps the timer running; without this every tick would
    // stack one more poll and one more alert for as long as the user is away.
    if (Polling)
        return;
    Polling = true;

    // A failed poll reads as no notes; the next tick asks again.
    const QList<int> keys = SharedStore.PollKeys(User).Value;
    for (const int key : keys) {
        if (NoteSlotTable.FindKey(key) < 0)
            ShowNote(key);
    }
    Polling = false;
}

void NoteExchange::ShowNote(int key)
{
    // A row that went meanwhile reads as urgency 0 and an empty text.
    const int urgency = SharedStore.Urgency(key).Value;
    const QString text = SharedStore.NoteText(key).Value;

    const int slot = NoteSlotTable.FirstEmptySlot();
    if (slot < 0) {
        ShowAlert(QStringLiteral("Couldn't get all the vimo's - Please delete some"));
        return;
    }

    auto note = std::make_unique<CNoteDlg>(Owner);
    note->Label->SetColors(UrgencyColor(urgency), 0);
    note->Slot = slot;
    note->Key = key;
    note->Text = text;
    connect(note.get(), &CNoteDlg::DeleteRequested, this, &NoteExchange::OnDeleteNote);
    note->setGeometry(QRect(NotePosition(slot, AvailableArea(Owner)), QSize(NoteSize, NoteSize)));
    CNoteDlg* window = note.get();
    NoteSlotTable.Store(slot, std::move(note));
    window->showNormal();
    Q_EMIT NotesChanged();
}

void NoteExchange::SetAllNotesVisible(bool show)
{
    NoteSlotTable.ForEach([show](int, CNoteDlg& note) {
        if (show) {
            note.showNormal();
            note.raise();
        } else {
            note.hide();
        }
    });
}

void NoteExchange::OnDeleteNote(int key, int slot)
{
    Pending.Add(key, slot);
    Q_EMIT DeletionRequested();
}

void NoteExchange::CarryOutDeletions()
{
    for (const DeleteRequest& request : Pending.TakeAll()) {
        // The window and the slot go first, whatever the store then says.
        const CNoteDlg* note = NoteSlotTable.At(request.Slot);
        if (note == nullptr || note->Key != request.Key)
            continue;
        NoteSlotTable.Take(request.Slot).reset();
        SucceededOrAlert(SharedStore.Delete(request.Key));
        Q_EMIT NotesChanged();
    }
}

void NoteExchange::CloseAllNotes()
{
    NoteSlotTable.Clear();
}

} // namespace vimo
