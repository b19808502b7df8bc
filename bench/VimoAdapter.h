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

// The program's own statement texts.
QString PollStatement(const QString& recipient);
QString NextKeyStatement();
QString UrgencyStatement(int key);
QString NoteTextStatement(int key);
QString PostNoteStatement(
    const QString& text, const QString& recipient, const QString& sender, int key, int urgency);
QString DeleteNoteStatement(int key);
QString AddUserSqlStatement(const QString& name);
// The channel on which a PostgreSQL store with the wake-up trigger announces a note for the
// user.
QString WakeupChannelName(const QString& user);
// The tables and, for a store made by this version, the indexes.
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

struct PostResult {
    bool Stored = false;
    int Attempts = 0;
};
// Posts a note the way the compose dialog's Send does, as the signed-in user.
PostResult PostNote(const QString& sender, const QString& recipient, const QString& text);

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
