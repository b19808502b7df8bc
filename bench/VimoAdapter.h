#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QWidget;

// Every call from the benchmarks into the program goes through this file, so that a change
// of the program's inner interfaces is followed here alone.
namespace vimo::bench {

// One note's values, as the benchmarks write them.
struct NoteValues {
    int Key = 0;
    QString Text;
    QString Recipient;
    QString Sender;
    int Stamp = 0; // 0: today
    int Urgency = 1;
};

// The program's own statement texts with the benchmark's values written in, for the engines'
// C APIs, which run text. The program itself binds them; the benchmark's values are plain
// words and numbers of its own.
QString PollStatement(const QString& recipient);
QString NextKeyStatement();
QString PostNoteStatement(const NoteValues& note);
// How many rows are exactly this note: the row check of a post after a broken link, whose
// condition is also a deletion's.
QString NoteCheckStatement(const NoteValues& note);
// Deletes exactly this note.
QString DeleteNoteStatement(const NoteValues& note);
QString AddUserSqlStatement(const QString& name);
// The channel on which a PostgreSQL store with the wake-up trigger announces a note for the
// user.
QString WakeupChannelName(const QString& user);
// The tables and, for a store made by this version, the indexes.
QStringList SchemaStatements(bool withIndexes);

// Sends alerts to the handler instead of a box.
void OnAlert(std::function<void(const QString&)> handler);

// The process's link to the data source "VIMO", as the program opens it at start-up.
bool ConnectStore();
void CloseStore();
// What a start of the program does to a store made before the indexes existed.
void UpgradeStore();

// The program's operations on that link: the poll (how many notes it read; -1 when it
// failed), the row check, and one value of a statement without values.
int PollNotes(const QString& recipient);
int CountNote(const NoteValues& note);
QString QueryValue(const QString& statement);

struct PostResult {
    bool Stored = false;
    int Attempts = 0;
};
// Posts a note the way the compose dialog's Send does, as the signed-in user.
PostResult PostNote(const QString& sender, const QString& recipient, const QString& text);

// One copy of the program on a link of its own, for the load models that run many copies on
// threads of their own: each call is one of the program's operations, on that thread.
class StoreCopy {
public:
    // Connects to the data source "VIMO".
    StoreCopy();
    ~StoreCopy();
    bool Connected() const;

    // Busy: the store could not serve now (another copy held the file past the busy wait).
    enum class Outcome { Done, Busy, Failed };
    // The keys of the notes addressed to the user.
    Outcome Poll(const QString& user, QList<qint64>& keys);
    // Deletes the note the last poll read under this key.
    Outcome Delete(qint64 key);
    struct Posted {
        Outcome Result = Outcome::Failed;
        int Attempts = 0;
        bool GaveUp = false; // every key it tried was taken
    };
    Posted Post(const QString& sender, const QString& recipient, const QString& text);

private:
    struct Parts;
    std::unique_ptr<Parts> Inner;
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
