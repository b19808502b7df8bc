#include "store/Failures.h"

namespace vimo {
namespace {

// SQLite's primary result codes, as the SQLite driver gives them for a general error (S1000
// in ODBC 2 behaviour, HY000 in ODBC 3). Extended codes carry the primary one in the low
// byte, so a driver that turns them on is read the same way.
enum SqliteCode : int {
    SqliteBusy = 5,
    SqliteLocked = 6,
    SqliteNoMemory = 7,
    SqliteReadOnly = 8,
    SqliteIoError = 10,
    SqliteCorrupt = 11,
    SqliteFull = 13,
    SqliteCantOpen = 14,
    SqliteConstraint = 19,
    SqliteNotADatabase = 26,
};

bool IsGeneralError(const QString& state)
{
    return state == QLatin1String("S1000") || state == QLatin1String("HY000");
}

int SqliteCodeOf(const Diagnostic& diagnostic)
{
    return IsGeneralError(diagnostic.State) ? int(diagnostic.NativeError & 0xff) : 0;
}

} // namespace

FailureKind ClassifyFailure(const Diagnostic& diagnostic)
{
    const QString& state = diagnostic.State;
    // No diagnostic at all: there was no link to run the statement on.
    if (state.isEmpty() || state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01")
        || state == QLatin1String("57P02") || state == QLatin1String("57P03"))
        return FailureKind::LinkLost;

    switch (SqliteCodeOf(diagnostic)) {
    // A file replaced, renamed or deleted under the link reads as read-only (the driver gives
    // the primary code only); a share taken away reads as an I/O error or a malformed image.
    // A new link opens the file by its path again.
    case SqliteReadOnly:
    case SqliteIoError:
    case SqliteCorrupt:
    case SqliteCantOpen:
    case SqliteNotADatabase:
        return FailureKind::LinkLost;
    case SqliteBusy:
    case SqliteLocked:
    case SqliteNoMemory:
    case SqliteFull:
        return FailureKind::Unavailable;
    default:
        break;
    }

    // Insufficient resources (53: disk full, too many connections), a lock not granted,
    // a statement cancelled or timed out, a transaction that lost a race, a server that
    // only reads.
    if (state.startsWith(QLatin1String("53")) || state == QLatin1String("55P03")
        || state == QLatin1String("57014") || state == QLatin1String("40001")
        || state == QLatin1String("40P01") || state == QLatin1String("25006")
        || state == QLatin1String("HYT00") || state == QLatin1String("HYT01"))
        return FailureKind::Unavailable;
    return FailureKind::Refused;
}

bool IsConnectionLost(const Diagnostic& diagnostic)
{
    return ClassifyFailure(diagnostic) == FailureKind::LinkLost;
}

bool IsStoreUnreachable(const Diagnostic& diagnostic)
{
    return ClassifyFailure(diagnostic) != FailureKind::Refused;
}

bool IsDuplicateKey(const Diagnostic& diagnostic)
{
    // PostgreSQL names the unique violation exactly; drivers in ODBC 3 style give 23000 for any
    // integrity violation. The SQLite driver tells what broke only by its native code; MSGS has
    // no constraint but the unique key index, so there it can only mean a taken key.
    const QString& state = diagnostic.State;
    return state == QLatin1String("23505") || state == QLatin1String("23000")
        || SqliteCodeOf(diagnostic) == SqliteConstraint;
}

bool IsOutOfRange(const Diagnostic& diagnostic)
{
    return diagnostic.State == QLatin1String("22003");
}

} // namespace vimo
