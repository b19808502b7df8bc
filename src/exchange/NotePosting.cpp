#include "exchange/NotePosting.h"

#include "store/DateStamp.h"
#include "store/Store.h"

#include <QRandomGenerator>
#include <QThread>

#include <limits>

namespace vimo {
namespace {

// SQLite's result code for a broken constraint. MSGS has no constraint but the unique key
// index, so on that driver it can only mean a taken key.
constexpr SQLINTEGER SqliteConstraint = 19;

// Two copies that read the same largest key at the same moment would go on meeting at every
// retry; a short wait of random length, longer after each meeting, breaks the step.
void WaitBeforeRetry(int attempt)
{
    const int longest = 4 << qMin(attempt, 4); // ms
    QThread::msleep(QRandomGenerator::global()->bounded(longest));
}

} // namespace

QChar UrgencyCharacter(int yellow, int green)
{
    if (yellow != 0)
        return u'1';
    if (green != 0)
        return u'2';
    return u'3';
}

bool IsDuplicateKey(const Diagnostic& error)
{
    // PostgreSQL names the unique violation exactly; drivers in ODBC 3 style give 23000 for any
    // integrity violation. The SQLite driver reports a general error (S1000 in ODBC 2
    // behaviour, HY000 in ODBC 3) and tells what broke only by its native code.
    const QString& state = error.State;
    if (state == QLatin1String("23505") || state == QLatin1String("23000"))
        return true;
    const bool general = state == QLatin1String("S1000") || state == QLatin1String("HY000");
    return general && error.NativeError == SqliteConstraint;
}

PostOutcome WriteNote(Store& store, const QString& sender, const QString& recipient,
    const QString& text, QChar urgency)
{
    const QString dateStamp = MakeDateStamp();
    PostOutcome outcome;
    for (outcome.Attempts = 1;; ++outcome.Attempts) {
        if (outcome.Attempts > 1)
            WaitBeforeRetry(outcome.Attempts - 1);
        // An empty table, or a query that failed, reads as 0: the first key is 1. A retry
        // leaves the next few keys, more each time, to the copy that has just won one: it may
        // well be posting again while this one reads.
        const int largest = store.LargestKey().Value;
        const int step = 1 << (outcome.Attempts - 1);
        // No key beyond the column's range: the insert is then refused as a taken key.
        outcome.Key = largest <= std::numeric_limits<int>::max() - step ? largest + step : largest;

        StoreResult<> posted = store.Post(text, recipient, sender, dateStamp, outcome.Key, urgency);
        if (posted.Succeeded()) {
            outcome.Stored = true;
            return outcome;
        }
        if (!IsDuplicateKey(posted.Failure->Error) || outcome.Attempts == PostAttempts) {
            outcome.Failure = std::move(posted.Failure);
            return outcome;
        }
    }
}

} // namespace vimo
