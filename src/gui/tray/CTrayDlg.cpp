#include "tray/CTrayDlg.h"

#include "delivery/NotePosting.h"
#include "delivery/PresenceReporter.h"
#include "delivery/TrayLogic.h"
#include "dialogs/CComposeDlg.h"
#include "dialogs/CDeletedDlg.h"
#include "dialogs/CGroupsDlg.h"
#include "dialogs/CSentDlg.h"
#include "model/NoteTexts.h"
#include "prompts/Notifications.h"
#include "prompts/Prompts.h"
#include "store/DeletedTable.h"
#include "store/LaterTable.h"
#include "store/OfficeTable.h"
#include "store/ReceiptTable.h"
#include "store/StoreWorker.h"
#include "tray/FreeMemory.h"
#include "tray/IdleWatch.h"
#include "tray/StallWatch.h"
#include "tray/UrgentMark.h"
#include "widgets/AppIcon.h"

#include <QCursor>
#include <QEventLoop>
#include <QIcon>
#include <QMenu>
#include <QTimer>

namespace vimo {
namespace {

QTimer* NamedTimer(QObject* owner, const QString& name, int intervalMs, bool singleShot)
{
    auto* timer = new QTimer(owner);
    timer->setObjectName(name);
    timer->setInterval(intervalMs);
    timer->setSingleShot(singleShot);
    return timer;
}

// The icon washed out to grey: notes cannot arrive while the tray shows it.
QIcon Greyed(const QIcon& icon)
{
    QIcon greyed;
    for (const QSize& size : icon.availableSizes()) {
        QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int grey = 96 + qGray(line[x]) / 3;
                line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
            }
        }
        greyed.addPixmap(QPixmap::fromImage(image));
    }
    return greyed;
}

} // namespace

CTrayDlg::CTrayDlg(StoreWorker& worker, const QString& user, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint)
    , Notes(this, worker, user)
    , Worker(worker)
    , User(user)
    , AppIcon(vimo::AppIcon())
    , Tray(new QSystemTrayIcon(AppIcon, this))
    , QuitTimer(NamedTimer(this, QStringLiteral("QuitTimer"), QuitDelayMs, true))
    , PollTimer(NamedTimer(this, QStringLiteral("PollTimer"), PollPeriodMs, false))
    , DeleteTimer(NamedTimer(this, QStringLiteral("DeleteTimer"), DeleteDelayMs, true))
    , MemoryTimer(NamedTimer(this, QStringLiteral("MemoryTimer"), ReturnMemoryDelayMs, true))
    , Presence(new PresenceReporter(worker, user, this))
{
    Tray->setObjectName(QStringLiteral("TrayIcon"));
    setWindowIcon(Tray->icon());
    // The window is never shown, yet it exists on the desktop from the start: its title,
    // the tooltip text, is where the desktop's tools read the program's state.
    winId();

    // Never early: a coarse timer may fire up to 5 % before its time, and a deleted note
    // must stay its full half second.
    for (QTimer* timer : { QuitTimer, PollTimer, DeleteTimer })
        timer->setTimerType(Qt::PreciseTimer);
    connect(QuitTimer, &QTimer::timeout, this, [this] { OnTimer(TIMER_QUIT); });
    connect(PollTimer, &QTimer::timeout, this, [this] { OnTimer(TIMER_POLL); });
    connect(DeleteTimer, &QTimer::timeout, this, [this] { OnTimer(TIMER_DELETE); });
    // Opening or closing notes frees memory all through the heap: given back once they settle.
    connect(MemoryTimer, &QTimer::timeout, this, ReturnFreeMemory);

    connect(&Notes.Inbox(), &NoteInbox::NotesChanged, this, [this] {
        RefreshTrayIcon(TrayAction::Modify);
        MemoryTimer->start();
    });
    connect(&Notes.Inbox(), &NoteInbox::ReachabilityChanged, this,
        [this] { RefreshTrayIcon(TrayAction::Modify); });
    connect(&Notes, &NoteWindows::UrgentNoteWaitsChanged, this,
        [this] { RefreshTrayIcon(TrayAction::Modify); });
    // Queued: the request comes from inside the note's menu, and the note may be gone by the
    // time the dialog closes.
    connect(
        &Notes, &NoteWindows::ReplyRequested, this,
        [this](const QString& sender) { PostNote(sender); }, Qt::QueuedConnection);
    // Every new request waits the full delay again, as the one before it did.
    connect(
        &Notes.Inbox(), &NoteInbox::DeletionRequested, DeleteTimer, qOverload<>(&QTimer::start));
    connect(Tray, &QSystemTrayIcon::activated, this, &CTrayDlg::OnTrayNotify);
    connect(&Notes.Inbox(), &NoteInbox::NoteDeleted, this, &CTrayDlg::OfferUndo);
    connect(Tray, &QSystemTrayIcon::messageClicked, this, [this] {
        // The balloon's tip lies over the icon: a click there is meant for the icon, and
        // must neither undo a deletion nor be lost.
        if (Tray->geometry().contains(QCursor::pos())) {
            UndoRow.reset();
            // After the balloon has let go of the pointer, or the menu gets no keys.
            QTimer::singleShot(0, this, [this] { OnTrayNotify(QSystemTrayIcon::Trigger); });
        } else if (UndoRow) {
            Restore({}, *std::exchange(UndoRow, std::nullopt));
        }
    });
}

CTrayDlg::~CTrayDlg()
{
    delete SentList;
    delete DeletedList;
}

int CTrayDlg::exec()
{
    OnInitDialog();
    QEventLoop loop;
    RunLoop = &loop;
    loop.exec(QEventLoop::DialogExec);
    RunLoop = nullptr;
    DestroyWindow();
    return result();
}

void CTrayDlg::done(int result)
{
    // A note being written is never thrown away: the run ends once it is sent or cancelled.
    if (Composing) {
        EndAfterComposing = result;
        Composing->raise();
        Composing->activateWindow();
        return;
    }
    setResult(result);
    if (RunLoop != nullptr)
        RunLoop->exit(result);
}

void CTrayDlg::OnInitDialog()
{
    StallWatch::StartIfEnabled(this);
    // The notes already waiting open when the store answers this first poll, and the tooltip
    // then counts them. The icon does not wait: a store that hangs must not keep Quit away.
    Notes.Inbox().PollNotes();
    PollTimer->start();
    Presence->Start();
    connect(new IdleWatch(QDBusConnection::sessionBus(), this), &IdleWatch::IdleChanged, Presence,
        &PresenceReporter::SetIdle);
    RefreshTrayIcon(TrayAction::Add);
}

void CTrayDlg::RefreshTrayIcon(TrayAction action)
{
    // While polls fail the tray says since when, and nothing more until that changes.
    const StoreReachability& reach = Notes.Inbox().Reachability();
    const QString tip = reach.IsOut() ? OutageTipText(reach.OutageSince())
                                      : TrayTipText(Notes.Inbox().OpenNotes());
    setWindowTitle(tip);
    // The other two icons are drawn when first needed: most days need neither, and the tray
    // shows sooner without them.
    const auto drawn = [this](QIcon& icon, QIcon (*draw)(const QIcon&)) -> const QIcon& {
        if (icon.isNull())
            icon = draw(AppIcon);
        return icon;
    };
    const QIcon& icon = reach.IsOut()
        ? drawn(OutageIcon, Greyed)
        : (Notes.UrgentNoteWaits() ? drawn(UrgentIcon, WithUrgentMark) : AppIcon);
    switch (action) {
    case TrayAction::Add:
    case TrayAction::Modify:
        if (Tray->toolTip() != tip)
            Tray->setToolTip(tip);
        if (Tray->icon().cacheKey() != icon.cacheKey())
            Tray->setIcon(icon);
        if (action == TrayAction::Add)
            Tray->show();
        break;
    case TrayAction::Delete:
        Tray->hide();
        break;
    }
}

void CTrayDlg::OnTrayNotify(QSystemTrayIcon::ActivationReason reason)
{
    // A left press opens the menu; the right button and the middle one do nothing.
    // WORKAROUND: on X11 Qt hands a left press that comes within the double-click time of the
    // press before it over as DoubleClick alone, without Trigger, even when that earlier press
    // opened the menu and a command was chosen meanwhile. The first click after a command
    // would be lost, so DoubleClick counts as a press as well while no menu is open.
    const bool leftPress
        = reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick;
    if (leftPress && !TrayMenuOpen)
        OpenTrayMenu();
}

void CTrayDlg::OpenTrayMenu()
{
    struct MenuItem {
        int Id; // 0: a separator
        const char* Text;
    };
    static constexpr MenuItem TrayMenu[] = {
        { HideAllCommand, QT_TR_NOOP("&Hide All Vimos") },
        { ShowAllCommand, QT_TR_NOOP("&Show All Vimos") },
        { NewCommand, QT_TR_NOOP("&New Vimo") },
        { SentCommand, QT_TR_NOOP("Sen&t Vimos") },
        { GroupsCommand, QT_TR_NOOP("&Groups...") },
        { DeletedCommand, QT_TR_NOOP("&Deleted Vimos") },
        { 0, nullptr },
        { QuitCommand, QT_TR_NOOP("&Quit") },
    };
    QMenu menu;
    for (const MenuItem& item : TrayMenu) {
        if (item.Id == 0)
            menu.addSeparator();
        else
            menu.addAction(tr(item.Text))->setData(item.Id);
    }
    // Next to the icon, above it when the tray is at the bottom of the screen; Qt keeps the
    // menu on screen wherever the tray is.
    const QRect icon = Tray->geometry();
    const QPoint place = icon.isValid()
        ? QPoint(icon.right() - menu.sizeHint().width(), icon.top() - menu.sizeHint().height())
        : QCursor::pos();
    TrayMenuOpen = true;
    const QAction* chosen = menu.exec(place);
    TrayMenuOpen = false;
    OnMenuCommand(chosen != nullptr ? chosen->data().toInt() : 0);
}

void CTrayDlg::OnMenuCommand(int id)
{
    switch (id) {
    case HideAllCommand:
        Notes.SetAllNotesVisible(false);
        break;
    case ShowAllCommand:
        Notes.SetAllNotesVisible(true);
        break;
    case NewCommand:
        PostNote();
        break;
    case SentCommand:
        ShowSentNotes();
        break;
    case GroupsCommand:
        ShowGroups();
        break;
    case DeletedCommand:
        ShowDeletedNotes();
        break;
    case QuitCommand:
        QuitTimer->start();
        break;
    default:
        break;
    }
}

void CTrayDlg::OnTimer(int id)
{
    switch (id) {
    case TIMER_QUIT:
        QuitTimer->stop();
        accept();
        break;
    case TIMER_POLL:
        RetryRestores();
        Notes.Inbox().PollNotes();
        break;
    case TIMER_DELETE:
        DeleteTimer->stop();
        Notes.Inbox().CarryOutDeletions();
        break;
    default:
        break;
    }
}

void CTrayDlg::PollSoon()
{
    if (PollTimer->isActive())
        OnTimer(TIMER_POLL);
}

void CTrayDlg::DestroyWindow()
{
    PollTimer->stop();
    QuitTimer->stop();
    DeleteTimer->stop();
    Presence->Stop();
    delete SentList;
    delete GroupsDialog;
    delete DeletedList;
    Notes.Inbox().CloseAllNotes();
    RefreshTrayIcon(TrayAction::Delete);
}

void CTrayDlg::PostNote(const QString& replyTo)
{
    // A tray host that keeps serving the menu while the dialog is open could ask again; one
    // note at a time.
    if (Composing) {
        Composing->raise();
        Composing->activateWindow();
        return;
    }
    CComposeDlg dialog(
        Worker, [sender = User, told = ToldAbsent](Store& store, const NoteDraft& draft) {
            return SendNote(store, sender, draft, told.get());
        });
    connect(&dialog, &CComposeDlg::NoteStored, this, &CTrayDlg::NotesPosted);
    if (!replyTo.isEmpty())
        dialog.ReplyTo(replyTo);
    // Modal to nothing: it has no parent, so the notes stay usable while the user writes.
    dialog.setWindowModality(Qt::WindowModal);
    Composing = &dialog;
    // The timers keep running inside the dialog's run: polls and deletions go on meanwhile.
    dialog.exec();
    Composing = nullptr;
    if (EndAfterComposing)
        done(*std::exchange(EndAfterComposing, std::nullopt));
}

void CTrayDlg::ShowSentNotes()
{
    struct Sent {
        StoreResult<QList<SentNote>> Records;
        StoreResult<QList<LaterNote>> Waiting;
    };
    Worker.Run(
        [user = User](Store& store) {
            return Sent { ReceiptTable(store).SentBy(user), LaterTable(store).WaitingFrom(user) };
        },
        this,
        [this](const Sent& sent) {
            if (sent.Records.Failure) {
                ShowStoreFailure(*sent.Records.Failure, tr("the notes sent cannot be listed now."));
                return;
            }
            if (!SentList) {
                // No parent: like the compose dialog, it stays usable beside the notes.
                auto* list = new CSentDlg();
                list->setAttribute(Qt::WA_DeleteOnClose);
                connect(list, &CSentDlg::TakeBackRequested, this, &CTrayDlg::TakeBack);
                SentList = list;
            }
            // A store without notes for later lists what it has.
            QList<SentNote> rows;
            for (const LaterNote& later : sent.Waiting.Value)
                rows.append({ later.Recipient, int(later.Stamp), later.Text, QString(), QString(),
                    later.Id, later.Due });
            static_cast<CSentDlg*>(SentList.data())->SetRows(rows + sent.Records.Value);
            Worker.Run([](Store& store) { return OfficeTable(store).Presence().Value; },
                SentList.data(),
                [list = SentList](const PresenceView& view) {
                    static_cast<CSentDlg*>(list.data())->ShowPresence(view);
                });
            SentList->show();
            SentList->raise();
            SentList->activateWindow();
        });
}

void CTrayDlg::ShowGroups()
{
    if (!GroupsDialog) {
        // Not modal, as "Sent Vimos": it holds nothing until Save.
        auto* dialog = new CGroupsDlg(Worker);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        GroupsDialog = dialog;
    }
    GroupsDialog->show();
    GroupsDialog->raise();
    GroupsDialog->activateWindow();
}

void CTrayDlg::TakeBack(qint64 laterId)
{
    Worker.Run(
        [laterId, user = User](Store& store) { return LaterTable(store).Cancel(laterId, user); },
        this,
        [this](const StoreResult<LaterTable::TakeBack>& taken) {
            if (taken.Failure)
                ShowStoreFailure(*taken.Failure, tr("the note cannot be taken back now."));
            else if (taken.Value == LaterTable::TakeBack::AlreadyGone)
                ShowAlert(tr("Too late: the note has gone to its recipient already."));
            ShowSentNotes();
        });
}

void CTrayDlg::ShowDeletedNotes()
{
    Worker.Run([user = User](Store& store) { return DeletedTable(store).Of(user); }, this,
        [this](const StoreResult<QList<DeletedNote>>& deleted) {
            if (deleted.Failure) {
                ShowStoreFailure(*deleted.Failure, tr("the deleted notes cannot be listed now."));
                return;
            }
            if (!DeletedList) {
                auto* list = new CDeletedDlg();
                list->setAttribute(Qt::WA_DeleteOnClose);
                connect(list, &CDeletedDlg::RestoreRequested, this,
                    [this](const DeletedNote& note) { Restore(note); });
                DeletedList = list;
            }
            static_cast<CDeletedDlg*>(DeletedList.data())->SetRows(deleted.Value);
            DeletedList->show();
            DeletedList->raise();
            DeletedList->activateWindow();
        });
}

void CTrayDlg::OfferUndo(const NoteRow& row)
{
    NoteNotification notice { QStringLiteral("Vimo"),
        tr("The note from %1 is deleted.").arg(ShownLine(row.Sender, ShownNameLength)) };
    notice.ActionLabel = tr("Undo");
    const QPointer<CTrayDlg> tray(this);
    notice.Action = [tray, row] {
        if (tray)
            tray->Restore({}, row);
    };
    notice.Missed = [tray, row] {
        if (tray)
            tray->OfferUndoInBalloon(row);
    };
    ShowNotification(notice);
}

void CTrayDlg::OfferUndoInBalloon(const NoteRow& row)
{
    if (!Tray->isVisible() || !QSystemTrayIcon::supportsMessages())
        return;
    UndoRow = row;
    Tray->showMessage(QStringLiteral("Vimo"),
        tr("The note from %1 is deleted. Click here to undo.")
            .arg(ShownLine(row.Sender, ShownNameLength)),
        QSystemTrayIcon::Information, UndoOfferMs);
    // A click on a later balloon, or on this one after it went, undoes nothing.
    QTimer::singleShot(UndoOfferMs, this, [this, row] {
        if (UndoRow == row)
            UndoRow.reset();
    });
}

void CTrayDlg::Restore(const DeletedNote& note, const NoteRow& row)
{
    Worker.Run(
        [note, row](Store& store) {
            return row.Key != 0 || !row.Recipient.isEmpty() ? DeletedTable(store).RestoreLatest(row)
                                                            : DeletedTable(store).Restore(note);
        },
        this,
        [this, note, row](const StoreResult<DeletedTable::Restoral>& restored) {
            if (restored.Failure && restored.Failure->OutOfReach()) {
                RestoresWaiting.append({ note, row });
                if (!std::exchange(RestoreWaitTold, true))
                    ShowAlert(UnreachableText(
                        tr("the note will be brought back when it is back."), *restored.Failure));
                return;
            }
            if (restored.Failure)
                ShowStoreFailure(*restored.Failure, tr("the note cannot be brought back."));
            else if (restored.Value == DeletedTable::Restoral::Gone)
                ShowAlert(tr("This note cannot be brought back any more."));
            else
                PollSoon();
            if (DeletedList)
                ShowDeletedNotes();
        });
}

void CTrayDlg::RetryRestores()
{
    if (RestoresWaiting.isEmpty())
        return;
    RestoreWaitTold = false;
    for (const WaitingRestore& waiting : std::exchange(RestoresWaiting, {}))
        Restore(waiting.Note, waiting.Row);
}

} // namespace vimo
