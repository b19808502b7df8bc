#include "VimoAdapter.h"

#include "exchange/NoteExchange.h"
#include "exchange/NotePosting.h"
#include "exchange/Session.h"
#include "notes/CNoteDlg.h"
#include "store/DateStamp.h"
#include "store/Prompts.h"
#include "store/SqlHelpers.h"
#include "store/Statements.h"
#include "store/StoreConnection.h"

namespace vimo::bench {

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
    return PostStatement(
        text, recipient, sender, MakeDateStamp(DateStampNumeric), key, QChar(u'0' + urgency));
}

QString DeleteNoteStatement(int key)
{
    return DeleteStatement(key);
}

QString AddUserSqlStatement(const QString& name)
{
    return AddUserStatement(name);
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
    return StoreConnection::Instance().Connect() >= 0;
}

void CloseStore()
{
    StoreConnection::Instance().Close();
}

QStringList QueryKeys(const QString& statement)
{
    return QueryColumnValues(statement);
}

QString QueryValue(const QString& statement)
{
    return QueryFirstValue(statement);
}

bool Execute(const QString& statement)
{
    return ExecSql(statement);
}

PostResult PostNote(const QString& sender, const QString& recipient, const QString& text)
{
    SetCurrentUser(sender);
    const PostOutcome outcome = WriteNote(recipient, text, u'1');
    return { outcome.Stored, outcome.Attempts };
}

struct Exchange::Parts {
    explicit Parts(QWidget* owner)
        : Notes(owner)
    {
    }
    NoteExchange Notes;
};

Exchange::Exchange(QWidget* owner, const QString& user)
    : Inner(std::make_unique<Parts>(owner))
{
    SetCurrentUser(user);
}

Exchange::~Exchange() = default;

void Exchange::Poll()
{
    Inner->Notes.PollNotes();
}

int Exchange::OpenNotes() const
{
    return Inner->Notes.OpenNotes();
}

bool Exchange::DeleteFirstNote()
{
    int firstSlot = -1;
    int firstKey = 0;
    Inner->Notes.Notes().ForEach([&](int slot, const CNoteDlg& note) {
        if (firstSlot < 0) {
            firstSlot = slot;
            firstKey = note.Key;
        }
    });
    if (firstSlot < 0)
        return false;
    Inner->Notes.OnDeleteNote(firstKey, firstSlot);
    Inner->Notes.CarryOutDeletions();
    return true;
}

} // namespace vimo::bench
