#include "VimoAdapter.h"

#include "delivery/NotePosting.h"
#include "model/DateStamp.h"
#include "model/Presence.h"
#include "notes/CNoteDlg.h"
#include "notes/NoteWindows.h"
#include "prompts/Prompts.h"
#include "store/NoteTable.h"
#include "store/OfficeStatements.h"
#include "store/ReceiptStatements.h"
#include "store/ReceiptTable.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "store/StoreSql.h"
#include "store/StoreUpgrade.h"
#include "store/StoreWorker.h"
#include "wakeup/DataFileCheck.h"
#include "wakeup/DataSourceKeys.h"
#include "wakeup/StoreWakeup.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMenu>
#include <QMouseEvent>

#include <QWidget>

namespace vimo::bench {
namespace {

// The benchmark process's one store, as start-up makes one for the program.
const std::shared_ptr<Store>& SharedStore()
{
    static const auto store = std::make_shared<Store>();
    return store;
}

Store& ProcessStore()
{
    return *SharedStore();
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

NoteRow ToRow(const NoteValues& note)
{
    return { note.Key, note.Recipient, note.Sender, note.Stamp, note.Urgency, note.Text };
}

NoteValues FromRow(const NoteRow& row)
{
    return { row.Key, row.Recipient, row.Sender, row.Stamp, row.Urgency, row.Text };
}

NoteIdentity IdentityOf(const NoteValues& note)
{
    return { note.Key, note.Sender, note.Recipient, note.Stamp.toInt() };
}

// The C APIs run text: the bound values written into their markers. Doubled quotes do for
// the benchmark's plain words.
QString Inline(const SqlStatement& statement)
{
    QString text;
    qsizetype next = 0;
    for (const QChar c : statement.Text) {
        if (c != u'?') {
            text += c;
            continue;
        }
        const SqlValue& value = statement.Values.at(next++);
        if (const QString* word = std::get_if<QString>(&value))
            text += u'\'' + QString(*word).replace(u'\'', QStringLiteral("''")) + u'\'';
        else
            text += QString::number(std::get<qint64>(value));
    }
    return text;
}

} // namespace

QString PollStatement(const QString& recipient)
{
    return Inline(NotesQuery(recipient));
}

QString NextKeyStatement()
{
    return NextKeyQuery();
}

QString BeginWriteSqlStatement()
{
    return BeginWriteStatement();
}

QString CommitSqlStatement()
{
    return CommitStatement();
}

NoteValues NewNote(
    const QString& text, const QString& recipient, const QString& sender, qint64 key, int urgency)
{
    return { key, recipient, sender, MakeDateStamp(), QString::number(urgency), text };
}

QString InsertStatement(const NoteValues& note)
{
    return Inline(PostStatement(
        note.Text, note.Recipient, note.Sender, note.Stamp, note.Key, note.Urgency.at(0)));
}

QString PostNoteStatement(
    const QString& text, const QString& recipient, const QString& sender, int key, int urgency)
{
    return InsertStatement(NewNote(text, recipient, sender, key, urgency));
}

QString DeleteRowStatement(const NoteValues& note)
{
    return Inline(DeleteNoteStatement(ToRow(note)));
}

QStringList SentRecordStatements(const NoteValues& note)
{
    return { Inline(SentRecordStatement(
                 IdentityOf(note), note.Text, ReceiptTime(QDateTime::currentDateTimeUtc()))),
        Inline(SentPruneStatement(note.Sender)) };
}

QString ShownReceiptsStatement(const QList<NoteValues>& notes)
{
    QList<NoteIdentity> identities;
    for (const NoteValues& note : notes)
        identities.append(IdentityOf(note));
    return Inline(ShownReceiptStatement(identities, ReceiptTime(QDateTime::currentDateTimeUtc())));
}

QString DeletedReceiptStatement(const NoteValues& note)
{
    return Inline(vimo::DeletedReceiptStatement(
        IdentityOf(note), ReceiptTime(QDateTime::currentDateTimeUtc())));
}

QString AddUserSqlStatement(const QString& name)
{
    return Inline(AddUserStatement(name));
}

QString WakeupChannelName(const QString& user)
{
    return QString::fromLatin1(WakeupChannel(user));
}

QString PresenceBeatStatement(const QString& user)
{
    return Inline(PresenceStatement(user, int(PresenceState::In), false));
}

int PresenceIntervalMs()
{
    return PresenceIntervalSec * 1000;
}

std::string WakeupTopicName(const QString& user)
{
    return WakeupTopic(user).toStdString();
}

QStringList SchemaStatements(bool withIndexes)
{
    QStringList schema = { NotesTableCreation(), UsersTableCreation(), ReceiptsTableCreation(),
        ReceiptsSenderIndexCreation(), ReceiptsKeyIndexCreation(), PresenceTableCreation(),
        GroupsTableCreation() };
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
    return OnStore([](Store& store) { return store.Connect().Succeeded(); });
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
    return OnStore([&](Store& store) { return StoreSql(store).ColumnValues(statement).Value; });
}

QString QueryValue(const QString& statement)
{
    return OnStore([&](Store& store) { return StoreSql(store).FirstValue(statement).Value; });
}

bool Execute(const QString& statement)
{
    return SucceededOrAlert(OnStore([&](Store& store) { return StoreSql(store).Exec(statement); }));
}

int PollRows(const QString& user)
{
    const StoreResult<QList<NoteRow>> rows
        = OnStore([&](Store& store) { return NoteTable(store).Addressed(user); });
    return rows.Failure ? -1 : int(rows.Value.size());
}

bool DeleteRow(const NoteValues& note)
{
    const StoreResult<NoteTable::Deletion> deleted
        = OnStore([&](Store& store) { return NoteTable(store).Delete(ToRow(note)); });
    return deleted.Succeeded() && deleted.Value == NoteTable::Deletion::Deleted;
}

namespace {

// The compose dialog's Send: the note, then the sender's record of it. The attempts are those
// of the note's insert.
PostResult Send(Store& store, const QString& sender, const QString& recipient, const QString& text,
    std::optional<StoreFailure>& failure)
{
    const PostOutcome outcome = WriteNote(store, sender, recipient, text, u'1');
    if (outcome.Stored) {
        (void)ReceiptTable(store).RecordSent(
            { outcome.Key, sender, recipient, outcome.DateStamp.toInt() }, text);
    }
    failure = outcome.Failure;
    return { outcome.Stored, outcome.Attempts };
}

} // namespace

PostResult PostNote(const QString& sender, const QString& recipient, const QString& text)
{
    std::optional<StoreFailure> failure;
    const PostResult result
        = OnStore([&](Store& store) { return Send(store, sender, recipient, text, failure); });
    if (failure)
        ShowFailureAlert(*failure);
    return result;
}

struct StoreCopy::Link {
    Store Own;
};

StoreCopy::StoreCopy()
    : Inner(std::make_unique<Link>())
{
    (void)Inner->Own.Connect();
}

StoreCopy::~StoreCopy() = default;

bool StoreCopy::Connected() const
{
    return Inner->Own.IsConnected();
}

bool StoreCopy::Poll(const QString& user, QList<NoteValues>& rows)
{
    const StoreResult<QList<NoteRow>> read = NoteTable(Inner->Own).Addressed(user);
    Native = read.Failure ? int(read.Failure->Error.NativeError) : 0;
    rows.clear();
    for (const NoteRow& row : read.Value)
        rows.append(FromRow(row));
    return read.Succeeded();
}

bool StoreCopy::RecordShown(const QList<NoteValues>& notes)
{
    QList<NoteIdentity> identities;
    for (const NoteValues& note : notes)
        identities.append(IdentityOf(note));
    const StoreResult<> stamped = ReceiptTable(Inner->Own).RecordShown(identities);
    Native = stamped.Failure ? int(stamped.Failure->Error.NativeError) : 0;
    return stamped.Succeeded();
}

bool StoreCopy::Delete(const NoteValues& note)
{
    const StoreResult<NoteTable::Deletion> deleted = NoteTable(Inner->Own).Delete(ToRow(note));
    Native = deleted.Failure ? int(deleted.Failure->Error.NativeError) : 0;
    if (!deleted.Succeeded() || deleted.Value != NoteTable::Deletion::Deleted)
        return false;
    const StoreResult<> stamped = ReceiptTable(Inner->Own).RecordDeleted(IdentityOf(note));
    Native = stamped.Failure ? int(stamped.Failure->Error.NativeError) : 0;
    return stamped.Succeeded();
}

PostResult StoreCopy::Post(const QString& sender, const QString& recipient, const QString& text)
{
    std::optional<StoreFailure> failure;
    const PostResult result = Send(Inner->Own, sender, recipient, text, failure);
    Native = failure ? int(failure->Error.NativeError) : 0;
    return result;
}

namespace {

StoreWorker& Worker()
{
    if (!ProcessWorker())
        ProcessWorker() = std::make_unique<StoreWorker>(SharedStore());
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
    NoteWindows Notes;
};

Exchange::Exchange(QWidget* owner, const QString& user)
    : Inner(std::make_unique<Parts>(owner, user))
{
}

Exchange::~Exchange() = default;

void Exchange::Poll()
{
    Inner->Notes.Inbox().PollNotes();
    Settle();
}

int Exchange::OpenNotes() const
{
    return Inner->Notes.Inbox().OpenNotes();
}

namespace {

// Delete from the note's menu, as a user chooses it; the delete timer then carries it out.
void ChooseDelete(CNoteDlg* note)
{
    const QPointF at(50, 50);
    QMouseEvent press(QEvent::MouseButtonPress, at, note->mapToGlobal(at), Qt::RightButton,
        Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(note, &press);
    QMenu* menu = note->findChildren<QMenu*>().constLast();
    for (QAction* action : menu->actions()) {
        if (action->data().toInt() == CNoteDlg::DeleteCommand)
            action->trigger();
    }
    menu->close();
}

} // namespace

bool Exchange::DeleteFirstNote()
{
    // The first slot's note opens highest on the screen.
    CNoteDlg* first = nullptr;
    for (CNoteDlg* note : Inner->Owner->findChildren<CNoteDlg*>()) {
        if (first == nullptr || note->y() < first->y())
            first = note;
    }
    if (first == nullptr)
        return false;
    ChooseDelete(first);
    Inner->Notes.Inbox().CarryOutDeletions();
    Settle();
    return true;
}

QList<QPair<qint64, QString>> Exchange::DeleteAllNotes()
{
    QList<QPair<qint64, QString>> shown;
    for (CNoteDlg* note : Inner->Owner->findChildren<CNoteDlg*>()) {
        shown.append({ note->Row().Key, note->Row().Text });
        ChooseDelete(note);
    }
    Inner->Notes.Inbox().CarryOutDeletions();
    Settle();
    return shown;
}

} // namespace vimo::bench
