#include "delivery/NotePosting.h"

#include "model/DateStamp.h"
#include "model/NoteTexts.h"
#include "prompts/Prompts.h"
#include "store/LaterTable.h"
#include "store/NoteTable.h"
#include "store/OfficeTable.h"
#include "store/ReceiptTable.h"
#include "store/UserTable.h"

#include <QCoreApplication>
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

// The names stopped the note: the keys go back to them, to the one at fault if there is one.
SendVerdict NamesRefused(
    const QString& name, const QString& alert, std::optional<StoreFailure> failure = {})
{
    SendVerdict verdict;
    verdict.BackToNames = true;
    verdict.Name = name;
    verdict.Alert = alert;
    verdict.Failure = std::move(failure);
    return verdict;
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
    const QStringList& recipients, const QString& text, QChar urgency, qint64 due)
{
    PostToEachOutcome outcome;
    for (qsizetype at = 0; at < recipients.size(); ++at) {
        const QString& recipient = recipients[at];
        if (due != 0) {
            const QDate day = QDateTime::fromSecsSinceEpoch(due).toLocalTime().date();
            StoreResult<> kept = LaterTable(store).Schedule({ 0, sender, recipient,
                MakeDateStamp(day).toLongLong(), urgency.digitValue(), text, due });
            if (kept.Failure) {
                outcome.Left = recipients.mid(at);
                outcome.Failure = std::move(kept.Failure);
                return outcome;
            }
            outcome.Reached.append(recipient);
            continue;
        }
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

std::optional<SendVerdict> RefusedBeforeStore(const NoteDraft& draft)
{
    if (!draft.Recipients.isEmpty())
        return std::nullopt;
    return NamesRefused(
        QString(), QCoreApplication::translate("NotePosting", "User name cannot be Empty"));
}

SendVerdict SendNote(
    Store& store, const QString& sender, const NoteDraft& draft, QSet<QString>* toldAbsent)
{
    if (std::optional<SendVerdict> refused = RefusedBeforeStore(draft))
        return *refused;
    // With one name the refusal says what it always said; in a list it names the name.
    const auto unknownName = [&draft](const QString& name) {
        return NamesRefused(name,
            draft.Recipients.size() == 1 ? QCoreApplication::translate(
                "NotePosting", "User name must be Valid\n[Press ? for List]")
                                         : UnknownUserAlert(name));
    };
    QString notUser;
    for (const QString& name : draft.Recipients) {
        if (const QString unseen = UnseenNameAlert(name); !unseen.isEmpty())
            return NamesRefused(name, unseen);
        // A name longer than the store keeps cannot be anybody's.
        const StoreResult<bool> known = name.size() > MaxUserNameLength
            ? StoreResult<bool> { false, {} }
            : UserTable(store).IsKnown(name);
        if (known.Failure) {
            return NamesRefused(name,
                QCoreApplication::translate(
                    "NotePosting", "the addressee cannot be looked up now."),
                known.Failure);
        }
        if (!known.Value && notUser.isEmpty())
            notUser = name;
    }
    QStringList recipients = draft.Recipients;
    // Groups are read only when a name is no user's: a note to users alone reads what it
    // always did, also from a store that has no groups.
    if (!notUser.isEmpty()) {
        StoreResult<QStringList> users = UserTable(store).Names();
        if (users.Failure) {
            return NamesRefused(notUser,
                QCoreApplication::translate(
                    "NotePosting", "the addressee cannot be looked up now."),
                users.Failure);
        }
        const QMap<QString, QStringList> groups = OfficeTable(store).Groups().Value;
        QString unknown;
        recipients = ExpandRecipients(draft.Recipients, users.Value, groups, sender, &unknown);
        if (!unknown.isEmpty())
            return unknownName(unknown);
        if (recipients.isEmpty()) {
            return NamesRefused(notUser,
                QCoreApplication::translate("NotePosting", "%1 has nobody else in it.")
                    .arg(notUser));
        }
    }
    PostToEachOutcome posted
        = WriteNoteToEach(store, sender, recipients, draft.Text, draft.Urgency, draft.Due);
    SendVerdict verdict;
    verdict.Sent = !posted.Failure;
    verdict.Failure = std::move(posted.Failure);
    verdict.Reached = posted.Reached;
    if (verdict.Sent) {
        // Nobody's presence known (an older store) says nothing.
        const PresenceView view = OfficeTable(store).Presence().Value;
        QStringList untold;
        for (const QString& name : recipients) {
            if (LongAbsent(view, name) && !(toldAbsent && toldAbsent->contains(name)))
                untold.append(name);
        }
        if (toldAbsent)
            *toldAbsent += QSet<QString>(untold.cbegin(), untold.cend());
        verdict.Notice = LongAbsenceNotice(view, untold);
        return verdict;
    }
    const QString comma = QStringLiteral(", ");
    if (posted.Reached.isEmpty()) {
        verdict.Alert = QCoreApplication::translate("NotePosting", "the note was not sent.");
    } else {
        verdict.Alert
            = QCoreApplication::translate("NotePosting", "the note was sent to %1 but not to %2.")
                  .arg(posted.Reached.join(comma), posted.Left.join(comma));
        verdict.Left = posted.Left;
    }
    return verdict;
}

void TellWhyNotSent(const SendVerdict& verdict)
{
    if (verdict.Failure)
        ShowStoreFailure(*verdict.Failure, verdict.Alert);
    else
        ShowAlert(verdict.Alert);
}

} // namespace vimo
