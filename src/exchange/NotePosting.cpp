#include "exchange/NotePosting.h"

#include "model/DateStamp.h"
#include "store/NoteTable.h"
#include "store/ReceiptTable.h"

#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QThread>

namespace vimo {
namespace {

Q_LOGGING_CATEGORY(PostLog, "vimo.receipts", QtInfoMsg)

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

PostOutcome WriteNote(Store& store, const QString& sender, const QString& recipient,
    const QString& text, QChar urgency)
{
    const NewNote note { text, recipient, sender, MakeDateStamp(), urgency };
    PostOutcome outcome;
    outcome.DateStamp = note.DateStamp;
    for (outcome.Attempts = 1;; ++outcome.Attempts) {
        if (outcome.Attempts > 1)
            WaitBeforeRetry(outcome.Attempts - 1);
        // A retry leaves the next few keys, more each time, to the copy that has just won
        // one: it may well be posting again while this one reads.
        StoreResult<qint64> posted = NoteTable(store).Insert(note, 1 << (outcome.Attempts - 1));
        outcome.Key = posted.Value;
        if (posted.Succeeded()) {
            outcome.Stored = true;
            return outcome;
        }
        if (posted.Failure->Kind != FailureKind::DuplicateKey || outcome.Attempts == PostAttempts) {
            outcome.Failure = std::move(posted.Failure);
            return outcome;
        }
    }
}

PostToEachOutcome WriteNoteToEach(Store& store, const QString& sender,
    const QStringList& recipients, const QString& text, QChar urgency)
{
    PostToEachOutcome outcome;
    for (qsizetype at = 0; at < recipients.size(); ++at) {
        const QString& recipient = recipients[at];
        PostOutcome posted = WriteNote(store, sender, recipient, text, urgency);
        if (!posted.Stored) {
            outcome.Left = recipients.mid(at);
            outcome.Failure = std::move(posted.Failure);
            return outcome;
        }
        outcome.Reached.append(recipient);
        const StoreResult<> recorded = ReceiptTable(store).RecordSent(
            { posted.Key, sender, recipient, posted.DateStamp.toInt() }, text);
        if (recorded.Failure)
            qCWarning(PostLog, "could not keep the record of a note sent: %s",
                qUtf8Printable(recorded.Failure->Error.Message));
    }
    return outcome;
}

} // namespace vimo
