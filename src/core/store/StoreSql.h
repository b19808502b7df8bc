#pragma once

// Statements run on a store's link, their values bound. Internal to the store: its tables'
// operations (NoteTable, UserTable, ReceiptTable) and its upgrades run their statements
// through this. Tests and the bench include it to plant or inspect rows; nothing in src/
// outside src/core/store does.

#include "store/SqlStatement.h"
#include "store/Store.h"

#include <QList>
#include <QStringList>

namespace vimo {

class StoreSql {
public:
    explicit StoreSql(Store& store)
        : Link(store)
    {
    }

    // The longest value a read takes, in bytes of UTF-8: far beyond what any copy writes
    // (a note's 250 characters), and beyond what older copies read whole. A row with a longer
    // value is left out of what a statement reads, and logged.
    static constexpr qsizetype LongestValue = qsizetype(16) * 1024;

    // Once: a statement that fails because the link is gone runs once more on a new link.
    // Never: inside a transaction, whose caller decides what a broken link means.
    enum class Retry { Once, Never };

    // Each runs one statement, its trailing white space cut, on a handle of its own.
    StoreResult<> Exec(const SqlStatement& statement, Retry retry = Retry::Once);

    // What a statement changed: the rows it touched (-1 when the driver cannot say), and
    // whether it ran a second time on a new link, when the first run may have done its part.
    struct Change {
        qint64 Rows = -1;
        bool Retried = false;
    };
    StoreResult<Change> ExecCounted(const SqlStatement& statement);
    // The same for a call that answers with the number of rows it changed (-1 when it gave
    // no number).
    StoreResult<Change> CallCounted(const SqlStatement& statement);

    // The first column of the first row, trailing white space cut; the empty text when there
    // is no row or the value is NULL or longer than LongestValue.
    StoreResult<QString> FirstValue(const SqlStatement& statement, Retry retry = Retry::Once);
    // The first column of every row in the store's order, each cut with TrimTrailingBlanks;
    // values that are then empty are left out, and so are rows whose value is too long to read.
    // A fetch that fails midway keeps the rows read
    // up to then, and the rows after an unreadable value are read all the same.
    StoreResult<QStringList> ColumnValues(const SqlStatement& statement);
    // The first columns of every row, in the store's order, as the driver gave them (NULL
    // reads as the empty text); the caller cuts them by its own rule. A row with a value past
    // LongestValue in one of them is left out and logged once. A failure keeps what was read,
    // as ColumnValues does.
    StoreResult<QList<QStringList>> Rows(const SqlStatement& statement, int columns);

    // SQLite: begins a transaction that holds the file's write lock from its start (after
    // following a replaced file); elsewhere nothing. Until it ends the link is neither
    // followed nor made anew behind the statements' backs.
    StoreResult<> BeginWrite();
    StoreResult<> Commit();
    // Ends the transaction, if any; a link that broke has rolled back already.
    void RollBack();

    // Makes the link anew, the way it was last made.
    StoreResult<> Reconnect();

private:
    struct Run;
    Run RunOnce(const QString& text, const QList<SqlValue>& values) const;
    Run RunStatement(const QString& statement, const QList<SqlValue>& values, Retry retry);
    // Logs a row left out for a value past LongestValue in its column (1 for the first).
    void LeftOut(const QString& text, const QStringList& before, int column, qint64 length);

    Store& Link;
};

} // namespace vimo
