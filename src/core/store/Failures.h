#pragma once

#include "store/StoreResult.h"

// What a refusal says about the store, read from its diagnostic: the one place that reads
// SQLSTATEs and native codes. Private to the store, which decides a failure's kind here when
// it makes the failure; callers ask the kind.
namespace vimo {

// True when a new link may cure the failure: class 08 (connection exceptions), 57P01 to
// 57P03 (the server shut down or restarted), 25006 (the server takes no writes: a primary
// that became a standby, whose successor a new link reaches), and the SQLite driver's general
// errors whose native code says the file could not be read, opened or written as the one it
// opened (I/O error, can't open, not a database, malformed, read-only after the file was
// replaced).
bool IsConnectionLost(const Diagnostic& diagnostic);

// What the failure means for the caller. A failure that a new link may cure has had its new
// link by the time this is asked: one that is still read-only is ReadOnly.
FailureKind KindOf(const Diagnostic& diagnostic);

// True when the server refused the role a privilege the statement needs.
bool IsPrivilegeLacking(const Diagnostic& diagnostic);

// True when a number did not fit its column (PostgreSQL's INT ends at 2147483647).
bool IsOutOfRange(const Diagnostic& diagnostic);

// The failure of a statement, its kind decided.
StoreFailure MakeFailure(const QString& statement, const Diagnostic& diagnostic);

} // namespace vimo
