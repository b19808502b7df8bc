#include "VimoAdapter.h"

#include "exchange/NoteExchange.h"
#include "exchange/NotePosting.h"
#include "model/DateStamp.h"
#include "notes/CNoteDlg.h"
#include "setup/Prompts.h"
#include "store/NoteTable.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "store/StoreSql.h"
#include "store/StoreUpgrade.h"
#include "store/StoreWorker.h"
#include "wakeup/StoreWakeup.h"

#include <QCoreApplication>
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

} // namespace

namespace {

// The benchmark's values into the markers; doubled quotes do for its plain words.
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

QString StampOf(const NoteValues& note)
{
    return note.Stamp == 0 ? MakeDateStamp() : QString::number(note.Stamp);
}

NoteRow RowOf(const NoteValues& note)
{
    return { note.Key, note.Recipient, note.Sender, StampOf(note), QString::number(note.Urgency),
        note.Text };
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

QString PostNoteStatement(const NoteValues& note)
{
    return Inline(PostStatement(note.Text, note.Recipient, note.Sender, StampOf(note), note.Key,
        QChar(u'0' + note.Urgency)));
}

QString NoteCheckStatement(const NoteValues& note)
{
    return Inline(NoteCountQuery(RowOf(note)));
}

QString DeleteNoteStatement(const NoteValues& note)
{
    return Inline(vimo::DeleteNoteStatement(RowOf(note)));
}

QString AddUserSqlStatement(const QString& name)
{
    return Inline(AddUserStatement(name));
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

int PollNotes(const QString& recipient)
{
    return OnStore([&](Store& store) {
        const StoreResult<QList<NoteRow>> notes = NoteTable(store).Addressed(recipient);
        return notes.Failure ? -1 : int(notes.Value.size());
    });
}

int CountNote(const NoteValues& note)
{
    return OnStore([&](Store& store) {
        return StoreSql(store).FirstValue(NoteCountQuery(RowOf(note))).Value.toInt();
    });
}

QString QueryValue(const QString& statement)
{
    return OnStore([&](Store& store) { return StoreSql(store).FirstValue(statement).Value; });
}

PostResult PostNote(const QString& sender, const QString& recipient, const QString& text)
{
    const PostOutcome outcome
        = OnStore([&](Store& store) { return WriteNote(store, sender, recipient, text, u'1'); });
    if (outcome.Failure)
        ShowFailureAlert(*outcome.Failure);
    return { outcome.Stored, outcome.Attempts };
}

struct StoreCopy::Parts {
    Store Link;
    bool Connected = false;
    QList<NoteRow> LastPoll;
};

StoreCopy::StoreCopy()
    : Inner(std::make_unique<Parts>())
{
    Inner->Connected = Inner->Link.Connect().Succeeded();
}

StoreCopy::~StoreCopy() = default;

bool StoreCopy::Connected() const
{
    return Inner->Connected;
}

namespace {

StoreCopy::Outcome OutcomeOf(const std::optional<StoreFailure>& failure)
{
    if (!failure)
        return StoreCopy::Outcome::Done;
    return failure->OutOfReach() ? StoreCopy::Outcome::Busy : StoreCopy::Outcome::Failed;
}

} // namespace

StoreCopy::Outcome StoreCopy::Poll(const QString& user, QList<qint64>& keys)
{
    StoreResult<QList<NoteRow>> notes = NoteTable(Inner->Link).Addressed(user);
    keys.clear();
    for (const NoteRow& row : std::as_const(notes.Value))
        keys.append(row.Key);
    if (notes.Succeeded())
        Inner->LastPoll = std::move(notes.Value);
    return OutcomeOf(notes.Failure);
}

StoreCopy::Outcome StoreCopy::Delete(qint64 key)
{
    for (const NoteRow& row : std::as_const(Inner->LastPoll)) {
        if (row.Key == key)
            return OutcomeOf(NoteTable(Inner->Link).Delete(row).Failure);
    }
    return Outcome::Failed;
}

StoreCopy::Posted StoreCopy::Post(
    const QString& sender, const QString& recipient, const QString& text)
{
    const PostOutcome outcome = WriteNote(Inner->Link, sender, recipient, text, u'1');
    return { OutcomeOf(outcome.Failure), outcome.Attempts,
        outcome.Failure && outcome.Failure->Kind == FailureKind::DuplicateKey };
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
    Inner->Notes.CarryOutDeletions();
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
    Inner->Notes.CarryOutDeletions();
    Settle();
    return shown;
}

} // namespace vimo::bench
