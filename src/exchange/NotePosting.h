#pragma once

#include "store/Failures.h"
#include "store/StoreResult.h"

#include <QChar>
#include <QString>

#include <optional>

namespace vimo {

class Store;

// How many times a post inserts before it gives up: each further try follows an insert that
// found its key taken by another copy posting at the same moment.
inline constexpr int PostAttempts = 8;

struct PostOutcome {
    bool Stored = false;
    qint64 Key = 0; // the key of the last insert tried
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

} // namespace vimo
