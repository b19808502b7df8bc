#pragma once

#include <QString>

#include <optional>
#include <variant>

namespace vimo {

// What the driver said about a refusal: diagnostic record 1. Both texts are empty when it
// gave none.
struct Diagnostic {
    QString State; // five characters, such as "42000"
    int NativeError = 0;
    QString Message;
};

// What a refusal means for the caller, decided by the store when it made the failure.
enum class FailureKind {
    // The link is gone and a new one failed too, or the store cannot serve now (locked by
    // another copy, out of room, busy, a statement that timed out).
    Unreachable,
    // The insert's key is taken already.
    DuplicateKey,
    // The store takes no writes, also on a new link: a PostgreSQL standby, a read-only file.
    ReadOnly,
    // At connect: there is no data source "VIMO".
    NoDataSource,
    // At connect: the server did not prove that it is the one the data source trusts (its
    // certificate, TLS that the data source demands, channel binding). Trying again quietly
    // changes nothing; somebody must look at the server or the data source.
    Untrusted,
    // The statement itself was refused; trying again gives the same answer.
    Other,
};

// A statement the store refused: the statement as it was sent (its `?` markers, never the
// values), what the driver said, and what that means.
struct StoreFailure {
    QString Statement;
    Diagnostic Error;
    FailureKind Kind = FailureKind::Other;

    // The store cannot take this now, whatever the statement: a user is told "cannot be
    // reached" and what waits is tried again later.
    bool OutOfReach() const
    {
        return Kind == FailureKind::Unreachable || Kind == FailureKind::ReadOnly
            || Kind == FailureKind::Untrusted;
    }
};

// What one store operation gave: its value, or the failure that kept it from one. After a
// failure Value holds what could be read: most often the empty value (no text, 0, false, no
// rows), which is what a caller that reads a failure as "nothing there" takes.
template <typename T = std::monostate> struct [[nodiscard]] StoreResult {
    T Value {};
    std::optional<StoreFailure> Failure;

    bool Succeeded() const { return !Failure.has_value(); }
};

} // namespace vimo
