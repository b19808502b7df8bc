#include "notes/NoteWindows.h"

#include "delivery/TrayLogic.h"
#include "model/TextRules.h"
#include "notes/CNoteDlg.h"
#include "widgets/AppIcon.h"
#include "widgets/CColorLabel.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vimo {
namespace {

// WORKAROUND: on X, Qt's GLib event loop sends its requests to the X server only when it is
// woken, by an X event or a posted one. A note raised from a timer, with nobody at the
// desktop, would wait in the buffer for the next poll or mouse move; this sends it now.
void ReachScreenNow()
{
    QGuiApplication::sync();
}

QRect AvailableArea(const QWidget* owner)
{
    const QScreen* screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

} // namespace

NoteWindows::NoteWindows(QWidget* owner, StoreWorker& worker, const QString& user,
    std::chrono::milliseconds urgentInterval)
    : Owner(owner)
    , NoteIcon(NoteWindowIcon())
    , Urgent(urgentInterval)
    , Notes(*this, worker, user)
{
    connect(&Urgent, &UrgentNoteWatch::RaiseAgain, this, &NoteWindows::RaiseAgain);
    connect(&Urgent, &UrgentNoteWatch::UrgentNoteWaitsChanged, this,
        &NoteWindows::UrgentNoteWaitsChanged);
}

NoteWindows::~NoteWindows()
{
    // The owner is half gone by now: the last red note going must not call back into it.
    disconnect(&Urgent, nullptr, this, nullptr);
    Notes.CloseAllNotes();
}

void NoteWindows::ShowNote(const NoteRow& row, int slot, bool announce)
{
    auto window
        = std::make_unique<CNoteDlg>(row, slot, UrgencyColor(AtoI(row.Urgency)), Owner, announce);
    window->setWindowIcon(NoteIcon);
    connect(window.get(), &CNoteDlg::DeleteRequested, this, &NoteWindows::OnDeleteNote);
    connect(window.get(), &CNoteDlg::ReplyRequested, this, &NoteWindows::ReplyRequested);
    Urgent.Watch(window.get(), AtoI(row.Urgency));
    window->setGeometry(QRect(NotePosition(slot, AvailableArea(Owner)), QSize(NoteSize, NoteSize)));
    CNoteDlg* shown = window.get();
    auto note = std::make_unique<ShownWindow>();
    note->Key = row.Key;
    note->Window = std::move(window);
    Windows.Store(slot, std::move(note));
    Showing.Show(shown);
}

void NoteWindows::CloseNote(int slot, bool passFocus)
{
    const ShownWindow* note = Windows.At(slot);
    if (note == nullptr)
        return;
    // The keyboard goes on to another note, not nowhere.
    const bool hadFocus = passFocus && note->Window->isActiveWindow();
    Windows.Take(slot).reset();
    if (hadFocus)
        FocusNewestNote();
}

void NoteWindows::Announce(qint64 key)
{
    if (const ShownWindow* open = Windows.At(Windows.FindKey(key)))
        open->Window->AnnounceNow();
}

void NoteWindows::RaiseAgain(QObject* window)
{
    Windows.ForEach([window](int, ShownWindow& note) {
        if (note.Window.get() == window) {
            note.Window->showNormal();
            note.Window->raise();
        }
    });
    ReachScreenNow();
}

void NoteWindows::SetAllNotesVisible(bool show)
{
    // Notes still waiting to show go with the rest: hidden, or shown now.
    Showing.Clear();
    Windows.ForEach([this, show](int, ShownWindow& note) {
        if (show) {
            note.Window->showNormal();
            note.Window->raise();
        } else {
            Urgent.Touched(note.Window.get());
            note.Window->hide();
        }
    });
    if (show)
        FocusNewestNote();
}

void NoteWindows::FocusNewestNote()
{
    // The latest key is the newest note.
    CNoteDlg* newest = nullptr;
    Windows.ForEach([&newest](int, ShownWindow& note) {
        if (note.Window->isVisible() && (newest == nullptr || note.Key > newest->Row().Key))
            newest = note.Window.get();
    });
    if (newest != nullptr)
        newest->TakeFocus();
    ReachScreenNow();
}

void NoteWindows::OnDeleteNote(qint64 key, int slot)
{
    const ShownWindow* note = Windows.At(slot);
    if (note == nullptr || note->Key != key)
        return;
    Urgent.Touched(note->Window.get());
    Notes.RequestDeletion(key, slot);
}

} // namespace vimo
