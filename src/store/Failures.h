#pragma once

#include "store/OdbcHandles.h"

namespace vimo {

// What a refusal says about the store, read from its diagnostic.
enum class FailureKind {
    // The statement itself was refused: wrong, or against a rule of the store. Trying again
    // gives the same answer.
    Refused,
    // The link to the store is gone, or the file under it is no longer the one it opened:
    // worth a new link and one more try at once.
    LinkLost,
    // The store is there but cannot serve now: locked by another copy, out of room, busy.
    // Worth a try later, not at once.
    Unavailable,
};

FailureKind ClassifyFailure(const Diagnostic& diagnostic);

// True when a new link may cure the failure: class 08 (connection exceptions), 57P01 to
// 57P03 (the server shut down or restarted), and the SQLite driver's general errors whose
// native code says the file could not be read, opened or written as the one it opened (I/O
// error, can't open, not a database, malformed, read-only after the file was replaced).
bool IsConnectionLost(const Diagnostic& diagnostic);

// True when the failure says the store cannot be reached now rather than that the statement
// is wrong: LinkLost or Unavailable. This is what a user is told as "cannot be reached".
bool IsStoreUnreachable(const Diagnostic& diagnostic);

// True when the store refused an insert because its key is already taken.
bool IsDuplicateKey(const Diagnostic& diagnostic);

// True when a number did not fit its column (PostgreSQL's INT ends at 2147483647).
bool IsOutOfRange(const Diagnostic& diagnostic);

} // namespace vimo
