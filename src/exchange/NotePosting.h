#pragma once

#include "store/StoreResult.h"

#include <QChar>
#include <QString>
#include <QStringList>

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
// cannot be kept is logged: the note has gone all the same.
PostToEachOutcome WriteNoteToEach(Store& store, const QString& sender,
    const QStringList& recipients, const QString& text, QChar urgency);

} // namespace vimo
