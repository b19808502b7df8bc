#pragma once

#include "store/OdbcHandles.h"
#include "store/TextRules.h"

#include <QString>
#include <QStringList>

#include <optional>

// The executors through which every statement reaches the store.
namespace vimo {

// One statement run on a handle of its own, with what the driver said about it.
struct StatementRun {
    StatementHandle Statement;
    SQLRETURN ReturnCode = SQL_ERROR;
    Diagnostic Error; // filled when the run failed

    bool Succeeded() const { return ReturnCode == SQL_SUCCESS || ReturnCode == SQL_SUCCESS_WITH_INFO; }
};

// Runs the statement once. When it fails because the link to the store is gone, connects
// again and runs it once more, so a restarted server or a remounted share does not leave a
// running copy deaf.
StatementRun RunStatement(const QString& statement);

// Reads column 1 of the current row as text, whatever its length; nullopt for NULL or when
// nothing can be read.
std::optional<QByteArray> ReadColumnText(SQLHSTMT statement);

// Runs a statement that returns no rows. On failure shows the alert of StatementErrorAlert and
// returns false.
bool ExecSql(const QString& statement);

// The alert of a statement the store refused: "<statement> [Error (<SQLSTATE>) <message>]".
// For callers that run a statement themselves to look at the SQLSTATE first.
void StatementErrorAlert(const QString& statement, const Diagnostic& error);

// The first column of the first row, trailing white space cut; the empty text on every
// failure, with no alert.
QString QueryFirstValue(const QString& statement);

// The first column of every row in the order the store returns them, each cut with
// TrimTrailingBlanks; values that are then empty are left out. Empty, with no alert, when
// the statement fails; a fetch that fails midway keeps the rows read up to then.
QStringList QueryColumnValues(const QString& statement);

} // namespace vimo
