#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>

class QWidget;

// Every call from the benchmarks into the program goes through this file, so that a change
// of the program's inner interfaces is followed here alone.
namespace vimo::bench {

// One note's row as a poll reads it.
struct NoteValues {
    qint64 Key = 0;
    QString Recipient;
    QString Sender;
    QString Stamp;
    QString Urgency;
    QString Text;
};

// The program's own statement texts, as it sends them today.
// The poll: every note of the user, read whole (SELECT TKEY,SENDER,DT,URGENCY,MSG ...).
QString PollStatement(const QString& recipient);
QString NextKeyStatement();
// SQLite: the transaction around the next key and the insert.
QString BeginWriteSqlStatement();
QString CommitSqlStatement();
// A new note's values, dated today, and its insert.
NoteValues NewNote(
    const QString& text, const QString& recipient, const QString& sender, qint64 key, int urgency);
QString InsertStatement(const NoteValues& note);
QString PostNoteStatement(
    const QString& text, const QString& recipient, const QString& sender, int key, int urgency);
// The deletion of exactly the row a note window shows.
QString DeleteRowStatement(const NoteValues& note);
// The receipts: the sender's record and its pruning after a post, the recipient's stamps when
// notes first show and when one is deleted.
QStringList SentRecordStatements(const NoteValues& note);
QString ShownReceiptsStatement(const QList<NoteValues>& notes);
QString DeletedReceiptStatement(const NoteValues& note);
QString AddUserSqlStatement(const QString& name);
// A running copy's presence beat on a server (one upsert), and how often a copy sends it.
QString PresenceBeatStatement(const QString& user);
int PresenceIntervalMs();
// The channel on which a PostgreSQL store with the wake-up trigger announces a note for the
// user.
QString WakeupChannelName(const QString& user);
// The user's topic on the office's MQTT broker.
std::string WakeupTopicName(const QString& user);
// The tables (the receipts table too) and, for a store made by this version, the indexes of
// the notes table.
QStringList SchemaStatements(bool withIndexes);

// The check a copy makes of a data file on a network share: the file's change counter, read
// as the program reads it; -1 when the file cannot be read.
qint64 DataFileChangeCounter(const QString& path);
// The file that the data source "VIMO" names.
QString DataSourceFile();
// How often the program makes that check, in ms.
int DataFileCheckMs();

// Sends alerts to the handler instead of a box.
void OnAlert(std::function<void(const QString&)> handler);

// The process's link to the data source "VIMO", as the program opens it at start-up.
bool ConnectStore();
void CloseStore();
// What a start of the program does to a store made before the indexes existed.
void UpgradeStore();

// The program's executors on that link: the poll's key list, and a single value.
QStringList QueryKeys(const QString& statement);
QString QueryValue(const QString& statement);
bool Execute(const QString& statement);
// The program's poll on that link: every note for the user, read whole. How many, or -1 when
// the store refused.
int PollRows(const QString& user);
// The program's deletion of one note on that link; false when the store refused or the row
// was gone.
bool DeleteRow(const NoteValues& note);

struct PostResult {
    bool Stored = false;
    int Attempts = 0;
};
// Posts a note the way the compose dialog's Send does, as the signed-in user: the note, then
// the sender's record of it.
PostResult PostNote(const QString& sender, const QString& recipient, const QString& text);

// A copy's own link to the data source "VIMO", for many copies in one process, each on a
// thread of its own: what the program's poll, deletion and Send run, as the program runs it.
class StoreCopy {
public:
    StoreCopy();
    ~StoreCopy();
    bool Connected() const;
    // The poll; false when the store refused. Rows get the user's notes.
    bool Poll(const QString& user, QList<NoteValues>& rows);
    // The receipts of notes that showed, and of a deletion.
    bool RecordShown(const QList<NoteValues>& notes);
    bool Delete(const NoteValues& note);
    PostResult Post(const QString& sender, const QString& recipient, const QString& text);
    // The native code of the last refusal (SQLite: 5 busy), 0 when there was none.
    int LastNative() const { return Native; }

private:
    struct Link;
    std::unique_ptr<Link> Inner;
    int Native = 0;
};

// The signed-in program's note exchange: polls open note windows under the owner, and a
// note's deletion runs as the delete timer would run it.
class Exchange {
public:
    Exchange(QWidget* owner, const QString& user);
    ~Exchange();
    void Poll();
    int OpenNotes() const;
    // Deletes the note in the lowest occupied slot; false when none is open.
    bool DeleteFirstNote();
    // The user deletes every open note; the key and text each note showed.
    QList<QPair<qint64, QString>> DeleteAllNotes();

private:
    struct Parts;
    std::unique_ptr<Parts> Inner;
};

} // namespace vimo::bench
