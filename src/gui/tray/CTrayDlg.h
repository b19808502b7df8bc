#pragma once

#include "model/LaterNotes.h"
#include "notes/NoteWindows.h"

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QSet>
#include <QSystemTrayIcon>

#include <memory>
#include <optional>

class QEventLoop;
class QTimer;

namespace vimo {

class PresenceReporter;
class StoreWorker;

// The program's main window. Nobody sees it: it owns the tray icon with its tooltip and
// menu, the note windows (through its NoteWindows) and the three timers. The program lives
// exactly as long as its run (exec), from sign-in to Quit.
class CTrayDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int QuitDelayMs = 1000;
    static constexpr int PollPeriodMs = 20000;
    static constexpr int DeleteDelayMs = 500;
    static constexpr int ReturnMemoryDelayMs = 3000;
    // How long the balloon after a deletion offers Undo.
    static constexpr int UndoOfferMs = 10000;

    // The tray menu's commands; a later start of the program hands them over as well.
    enum MenuCommand : int {
        NewCommand = 32771,
        QuitCommand = 32772,
        HideAllCommand = 32773,
        ShowAllCommand = 32774,
        SentCommand = 32775,
        GroupsCommand = 32780,
        DeletedCommand = 32781,
    };

    // The tray of the signed-in user, on the store that the worker holds.
    CTrayDlg(StoreWorker& worker, const QString& user, QWidget* parent = nullptr);
    ~CTrayDlg() override;

    // The run: asks for a poll, puts the icon into the tray, then serves the tray, the timers and
    // the notes until Quit; the window itself stays hidden. Returns the result that ended it.
    int exec() override;
    void done(int result) override;

    // Carries out a tray menu command; any other id (0: the menu was dismissed) does nothing.
    void OnMenuCommand(int id);

    // Polls now, as the poll timer would: a note may have come. Only while the run lasts.
    void PollSoon();

    // The icon in the tray, for whoever shows messages there.
    QSystemTrayIcon* TrayIcon() const { return Tray; }

Q_SIGNALS:
    // The user's note is in the store for these names.
    void NotesPosted(const QStringList& recipients);

private:
    enum TimerId : int {
        TIMER_QUIT = 1, // one-shot: ends the run
        TIMER_POLL = 2, // periodic: polls the store
        TIMER_DELETE = 3, // one-shot: carries out pending deletions
    };
    enum class TrayAction { Add, Modify, Delete };

    void OnInitDialog();
    void RefreshTrayIcon(TrayAction action);
    // A left press on the icon opens the menu, unless it is open already.
    void OnTrayNotify(QSystemTrayIcon::ActivationReason reason);
    void OpenTrayMenu();
    void OnTimer(int id);
    // Closes every note window and takes the icon out of the tray.
    void DestroyWindow();
    // The tray command New, or Reply on a note (the sender given): write a note to somebody.
    // The dialog stays open until the note is stored; one the store refuses stays in it as it
    // was left, less the names it reached, to be sent again or cancelled.
    void PostNote(const QString& replyTo = QString());
    // The tray command Sent Vimos: the user's last notes sent and what became of them.
    void ShowSentNotes();
    // The tray command Groups...: makes groups and changes their members.
    void ShowGroups();
    // The tray command Deleted Vimos: the user's notes deleted in the last days, to restore.
    void ShowDeletedNotes();
    // Offers to undo the deletion of the row just taken: a button on the desktop's
    // notification, or else a click on the tray's balloon.
    void OfferUndo(const NoteRow& row);
    void OfferUndoInBalloon(const NoteRow& row);
    // Brings a deleted note back (a row: the latest deletion of it). One the store cannot take
    // now waits and is tried again at every poll until it can: a restore is never lost.
    void Restore(const DeletedNote& note, const NoteRow& row = NoteRow());
    void RetryRestores();
    // "Take Back" in Sent Vimos on a note for later.
    void TakeBack(qint64 laterId);

    NoteWindows Notes;
    StoreWorker& Worker;
    const QString User;
    // The tray's icon, and the greyed one it shows while the store cannot be reached.
    const QIcon AppIcon;
    QIcon OutageIcon;
    // The icon with a red mark, while a red note waits untouched.
    QIcon UrgentIcon;
    // Children with names, so that the desktop's tools and the tests find them.
    QSystemTrayIcon* const Tray;
    QTimer* const QuitTimer;
    QTimer* const PollTimer;
    QTimer* const DeleteTimer;
    QTimer* const MemoryTimer;
    // While the tray menu runs: a press on the icon then opens no second one.
    bool TrayMenuOpen = false;
    QEventLoop* RunLoop = nullptr;
    // The compose dialog while PostNote runs it.
    QPointer<QDialog> Composing;
    // "Sent Vimos" while it is open: not modal, it holds nothing that could be lost.
    QPointer<QDialog> SentList;
    QPointer<QDialog> GroupsDialog;
    // Tells the colleagues that the user is in, from the run's start to its end.
    PresenceReporter* const Presence;
    // The colleagues long away whom a send has named already; touched on the worker alone.
    const std::shared_ptr<QSet<QString>> ToldAbsent = std::make_shared<QSet<QString>>();
    QPointer<QDialog> DeletedList;
    // The deletion the balloon offers to undo, while it shows.
    std::optional<NoteRow> UndoRow;
    struct WaitingRestore {
        DeletedNote Note;
        NoteRow Row;
    };
    QList<WaitingRestore> RestoresWaiting;
    bool RestoreWaitTold = false;
    // The run was asked to end while a note was being written: it ends once the note is sent
    // or cancelled, never by throwing it away.
    std::optional<int> EndAfterComposing;
};

} // namespace vimo
