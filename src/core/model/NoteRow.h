#pragma once

#include <QString>

namespace vimo {

// The longest user name: the width of the store's RECIPIENT column.
inline constexpr int MaxUserNameLength = 15;

// One note as the store holds it: the row of MSGS that a note window shows. A key may come
// back with another row (another copy deleted the note and a new one took its key), so a
// window is tied to the whole row, never to its key alone.
struct NoteRow {
    qint64 Key = 0;
    QString Recipient;
    QString Sender;
    QString Stamp; // DT as read, trailing blanks cut; empty when NULL
    QString Urgency; // URGENCY as read
    QString Text;

    bool operator==(const NoteRow&) const = default;
};

} // namespace vimo
