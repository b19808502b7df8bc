#pragma once

#include "store/StoreResult.h"

#include <QChar>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace vimo {

class Store;

// How many times a post inserts before it gives up: each further try follows an insert that
// found its key taken by another copy posting at the same moment.
inline constexpr int PostAttempts = 8;

struct PostOutcome {
    bool Stored = false;
    qint64 Key = 0; // the key of the last insert tried
    QString DateStamp; // the day the note was written for
    int Attempts = 0;
    std::optional<StoreFailure> Failure; // why the note was not stored
};

// The urgency of a note from the compose dialog's boxes: '1' for yellow, else '2' for green,
// else '3'. No box at all counts as the most urgent.
QChar UrgencyCharacter(int yellow, int green);

// Writes one note from the sender to the recipient: the largest key plus 1, today's date stamp,
// the urgency character. When another copy took that key in the meantime, tries again aiming
// 2, then 4, 8, ... above the largest key, up to PostAttempts inserts in all. Any other
// failure, or the last refusal, leaves Stored false and the refusal in Failure.
PostOutcome WriteNote(Store& store, const QString& sender, const QString& recipient,
    const QString& text, QChar urgency);

struct PostToEachOutcome {
    QStringList Reached; // the recipients whose note is stored, in order
    QStringList Left; // the recipient that failed and those after it
    std::optional<StoreFailure> Failure;
};

// Writes the note once for each recipient, each with a key of its own, and keeps the sender's
// record of each for "Sent Vimos". Stops at the first recipient the store refuses, so that the
// note can be sent again to those it has not reached, and to no one twice. A record that
// cannot be kept is logged: the note has gone all the same. With a due time (seconds since
// the epoch) each note waits for it instead, dated the day it comes.
PostToEachOutcome WriteNoteToEach(Store& store, const QString& sender,
    const QStringList& recipients, const QString& text, QChar urgency, qint64 due = 0);

// What the user wrote in the compose dialog, as Send hands it over.
struct NoteDraft {
    QStringList Recipients; // the names as typed, each once
    QString Text; // as the store keeps it: CR LF line breaks, at most 250 characters
    QChar Urgency = u'3';
    qint64 Due = 0; // when it is to come, seconds since the epoch; 0: now
};

// What became of a Send: the note went, or why not and what the dialog then offers.
struct SendVerdict {
    bool Sent = false;
    // The names stopped the note: the keys go back to them, with Name (the one at fault, if
    // any) selected to be typed over.
    bool BackToNames = false;
    QString Name;
    // The alert; with a failure, what could not be done because of it.
    QString Alert;
    std::optional<StoreFailure> Failure;
    // After a refusal part way: the names not reached, the only ones the next Send goes to.
    QStringList Left;
    // Sent, but some addressees have not been in for a long while: said once, after the send.
    QString Notice;
    // Those the note is stored for, whose copies may be woken.
    QStringList Reached;
};

// Posts a draft on the store's thread; the tray's is SendNote from its user.
using NotePoster = std::function<SendVerdict(Store&, const NoteDraft&)>;

// The verdict that needs no store: a draft with no name at all.
std::optional<SendVerdict> RefusedBeforeStore(const NoteDraft& draft);

// Sends the draft from sender when every name is a known user or a group, which stands for
// its members (the sender left out), each reached once: one unknown name stops the whole note, and
// one that cannot be looked up stops it too. A refusal part way keeps what was delivered and leaves
// the rest in the verdict.
// Addressees long away are named in the verdict's notice once: toldAbsent, when given, keeps
// whom the copy has told about already.
SendVerdict SendNote(Store& store, const QString& sender, const NoteDraft& draft,
    QSet<QString>* toldAbsent = nullptr);

// Says why the note did not go.
void TellWhyNotSent(const SendVerdict& verdict);

} // namespace vimo
