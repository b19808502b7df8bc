#include "VimoAdapter.h"

#include "exchange/NoteExchange.h"
#include "exchange/NotePosting.h"
#include "model/DateStamp.h"
#include "notes/CNoteDlg.h"
#include "setup/Prompts.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "store/StoreUpgrade.h"
#include "store/StoreWorker.h"
#include "wakeup/DataFileCheck.h"
#include "wakeup/DataSourceKeys.h"
#include "wakeup/StoreWakeup.h"

#include <QCoreApplication>

#include <QWidget>

namespace vimo::bench {
namespace {

// The benchmark process's one store, as start-up makes one for the program.
Store& ProcessStore()
{
    static Store store;
    return store;
}

// Made with the first exchange, as the program makes one after sign-in; it then holds the
// store for the rest of the process.
std::unique_ptr<StoreWorker>& ProcessWorker()
{
    static std::unique_ptr<StoreWorker> worker;
    return worker;
}

template <class F> auto OnStore(F f)
{
    if (ProcessWorker())
        return ProcessWorker()->Call(f);
    return f(ProcessStore());
}

// Until the worker has answered what was asked and the answers have run.
void Settle()
{
    while (ProcessWorker() && ProcessWorker()->IsBusy())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

QString PollStatement(const QString& recipient)
{
    return PollQuery(recipient);
}

QString NextKeyStatement()
{
    return NextKeyQuery();
}

QString UrgencyStatement(int key)
{
    return UrgencyQuery(key);
}

QString NoteTextStatement(int key)
{
    return NoteTextQuery(key);
}

QString PostNoteStatement(
    const QString& text, const QString& recipient, const QString& sender, int key, int urgency)
{
    return PostStatement(text, recipient, sender, MakeDateStamp(), key, QChar(u'0' + urgency));
}

QString DeleteNoteStatement(int key)
{
    return DeleteStatement(key);
}

QString AddUserSqlStatement(const QString& name)
{
    return AddUserStatement(name);
}

QString WakeupChannelName(const QString& user)
{
    return QString::fromLatin1(WakeupChannel(user));
}

QStringList SchemaStatements(bool withIndexes)
{
    QStringList schema = { NotesTableCreation(), UsersTableCreation() };
    if (withIndexes)
        schema << NotesKeyIndexCreation() << NotesRecipientIndexCreation();
    return schema;
}

qint64 DataFileChangeCounter(const QString& path)
{
    const std::optional<quint32> counter = ReadChangeCounter(path);
    return counter ? qint64(*counter) : -1;
}

QString DataSourceFile()
{
    return QString::fromUtf8(DataSourceKey("Database"));
}

int DataFileCheckMs()
{
    return StoreWakeup::CheckMs;
}

void OnAlert(std::function<void(const QString&)> handler)
{
    SetAlertHandler(std::move(handler));
}

bool ConnectStore()
{
    return OnStore([](Store& store) { return store.Connect() >= 0; });
}

void CloseStore()
{
    OnStore([](Store& store) { store.Close(); });
}

void UpgradeStore()
{
    OnStore([](Store& store) { UpgradeOldStore(store); });
}

QStringList QueryKeys(const QString& statement)
{
    return OnStore([&](Store& store) { return store.QueryColumnValues(statement).Value; });
}

QString QueryValue(const QString& statement)
{
    return OnStore([&](Store& store) { return store.QueryFirstValue(statement).Value; });
}

bool Execute(const QString& statement)
{
    return SucceededOrAlert(OnStore([&](Store& store) { return store.ExecSql(statement); }));
}

int PollRows(const QString& user)
{
    const StoreResult<QList<NoteRow>> rows
        = OnStore([&](Store& store) { return store.Notes(user); });
    return rows.Failure ? -1 : int(rows.Value.size());
}

PostResult PostNote(const QString& sender, const QString& recipient, const QString& text)
{
    const PostOutcome outcome
        = OnStore([&](Store& store) { return WriteNote(store, sender, recipient, text, u'1'); });
    if (outcome.Failure)
        ShowFailureAlert(*outcome.Failure);
    return { outcome.Stored, outcome.Attempts };
}

namespace {

StoreWorker& Worker()
{
    if (!ProcessWorker())
        ProcessWorker() = std::make_unique<StoreWorker>(ProcessStore());
    return *ProcessWorker();
}

} // namespace

struct Exchange::Parts {
    Parts(QWidget* owner, const QString& user)
        : Owner(owner)
        , Notes(owner, Worker(), user)
    {
    }
    QWidget* Owner;
    NoteExchange Notes;
};

Exchange::Exchange(QWidget* owner, const QString& user)
    : Inner(std::make_unique<Parts>(owner, user))
{
}

Exchange::~Exchange() = default;

void Exchange::Poll()
{
    Inner->Notes.PollNotes();
    Settle();
}

int Exchange::OpenNotes() const
{
    return Inner->Notes.OpenNotes();
}

bool Exchange::DeleteFirstNote()
{
    CNoteDlg* first = nullptr;
    for (CNoteDlg* note : Inner->Owner->findChildren<CNoteDlg*>()) {
        if (first == nullptr || note->Slot < first->Slot)
            first = note;
    }
    if (first == nullptr)
        return false;
    // What the note's Delete does; the delete timer then carries it out.
    Q_EMIT first->DeleteRequested(first->Key, first->Slot);
    Inner->Notes.CarryOutDeletions();
    Settle();
    return true;
}

QList<QPair<qint64, QString>> Exchange::DeleteAllNotes()
{
    QList<QPair<qint64, QString>> shown;
    for (CNoteDlg* note : Inner->Owner->findChildren<CNoteDlg*>()) {
        shown.append({ note->Key, note->Text });
        Q_EMIT note->DeleteRequested(note->Key, note->Slot);
    }
    Inner->Notes.CarryOutDeletions();
    Settle();
    return shown;
}

} // namespace vimo::bench
