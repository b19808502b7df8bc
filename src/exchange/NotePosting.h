#pragma once

#include <QChar>
#include <QString>

namespace vimo {

struct Diagnostic;

// How many times a post reads the next key and inserts before it gives up: each further try
// follows an insert that found its key taken by another copy posting at the same moment.
inline constexpr int PostAttempts = 8;

struct PostOutcome {
    bool Stored = false;
    int Key = 0; // the key of the last insert tried
    int Attempts = 0;
};

// The urgency of a note from the compose dialog's boxes: '1' for yellow, else '2' for green,
// else '3'. No box at all counts as the most urgent.
QChar UrgencyCharacter(int yellow, int green);

// True when the store refused an insert because its key is already taken.
bool IsDuplicateKey(const Diagnostic& error);

// Writes one note from the signed-in user to the recipient: the largest key plus 1, today's
// date stamp, the urgency character. When another copy took that key in the meantime, reads
// the largest key again and aims 2, then 4, 8, ... above it, up to PostAttempts inserts in
// all. Any other failure, or the last refusal, shows the statement's error alert and leaves
// Stored false.
PostOutcome WriteNote(const QString& recipient, const QString& text, QChar urgency);

} // namespace vimo
