#include "store/Failures.h"

#include <algorithm>
#include <iterator>

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

// What the link does about a refusal.
enum class Remedy {
    // A new link and one more try at once.
    NewLink,
    // The store is there but cannot serve now: a try later, not at once.
    Later,
    // The statement itself was refused: trying again gives the same answer.
    None,
};

Remedy RemedyOf(const Diagnostic& diagnostic)
{
    const QString& state = diagnostic.State;
    // No diagnostic at all: there was no link to run the statement on.
    if (state.isEmpty() || state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01")
        || state == QLatin1String("57P02") || state == QLatin1String("57P03")
        || state == QLatin1String("25006"))
        return Remedy::NewLink;

    switch (SqliteCodeOf(diagnostic)) {
    // A file replaced, renamed or deleted under the link reads as read-only (the driver gives
    // the primary code only); a share taken away reads as an I/O error or a malformed image.
    // A new link opens the file by its path again.
    case SqliteReadOnly:
    case SqliteIoError:
    case SqliteCorrupt:
    case SqliteCantOpen:
    case SqliteNotADatabase:
        return Remedy::NewLink;
    case SqliteBusy:
    case SqliteLocked:
    case SqliteNoMemory:
    case SqliteFull:
        return Remedy::Later;
    default:
        break;
    }

    // Insufficient resources (53: disk full, too many connections), a lock not granted,
    // a statement cancelled or timed out, a transaction that lost a race.
    if (state.startsWith(QLatin1String("53")) || state == QLatin1String("55P03")
        || state == QLatin1String("57014") || state == QLatin1String("40001")
        || state == QLatin1String("40P01") || state == QLatin1String("HYT00")
        || state == QLatin1String("HYT01"))
        return Remedy::Later;
    return Remedy::None;
}

// libpq tells why it refused a server only in words, translated where it has a translation
// (German: "Zertifikat", "SSL wurde verlangt"); OpenSSL's reasons ("certificate verify
// failed") stay English.
bool IsUntrusted(const Diagnostic& diagnostic)
{
    if (!diagnostic.State.startsWith(QLatin1String("08")))
        return false;
    static const char* const signs[] = {
        "certificate", // unverified, another host's, the root file missing or unreadable
        "Zertifikat",
        "SSL was required", // a server without TLS where the data source demands it
        "SSL wurde verlangt",
        "channel binding", // a login relayed through someone in the middle
        "Channel-Binding",
    };
    return std::any_of(std::begin(signs), std::end(signs), [&](const char* sign) {
        return diagnostic.Message.contains(QLatin1String(sign), Qt::CaseInsensitive);
    });
}

bool IsReadOnly(const Diagnostic& diagnostic)
{
    return diagnostic.State == QLatin1String("25006") || SqliteCodeOf(diagnostic) == SqliteReadOnly;
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

} // namespace

bool IsConnectionLost(const Diagnostic& diagnostic)
{
    return RemedyOf(diagnostic) == Remedy::NewLink;
}

FailureKind KindOf(const Diagnostic& diagnostic)
{
    // The driver manager found no such data source.
    if (diagnostic.State == QLatin1String("IM002"))
        return FailureKind::NoDataSource;
    if (IsUntrusted(diagnostic))
        return FailureKind::Untrusted;
    if (IsReadOnly(diagnostic))
        return FailureKind::ReadOnly;
    if (IsDuplicateKey(diagnostic))
        return FailureKind::DuplicateKey;
    if (RemedyOf(diagnostic) != Remedy::None)
        return FailureKind::Unreachable;
    return FailureKind::Other;
}

bool IsPrivilegeLacking(const Diagnostic& diagnostic)
{
    return diagnostic.State == QLatin1String("42501");
}

bool IsOutOfRange(const Diagnostic& diagnostic)
{
    return diagnostic.State == QLatin1String("22003");
}

StoreFailure MakeFailure(const QString& statement, const Diagnostic& diagnostic)
{
    return { statement, diagnostic, KindOf(diagnostic) };
}

} // namespace vimo
