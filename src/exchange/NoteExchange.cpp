#include "exchange/NoteExchange.h"

#include "exchange/Session.h"
#include "exchange/TrayLogic.h"
#include "notes/CColorLabel.h"
#include "notes/CNoteDlg.h"
#include "store/Prompts.h"
#include "store/SqlHelpers.h"
#include "store/Statements.h"

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

NoteExchange::NoteExchange(QWidget* owner)
    : Owner(owner)
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

    KeyListBox = QueryColumnValues(PollQuery(CurrentUser()));
    for (const QString& row : std::as_const(KeyListBox)) {
        const int key = AtoI(row);
        if (NoteSlotTable.FindKey(key) < 0)
            ShowNote(key);
    }
    Polling = false;
}

void NoteExchange::ShowNote(int key)
{
    const int urgency = AtoI(QueryFirstValue(UrgencyQuery(key)));
    const QString text = QueryFirstValue(NoteTextQuery(key));

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
        ExecSql(DeleteStatement(request.Key));
        Q_EMIT NotesChanged();
    }
}

void NoteExchange::CloseAllNotes()
{
    NoteSlotTable.Clear();
}

} // namespace vimo
