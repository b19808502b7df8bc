#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// What the program says about a note and the people it goes between, apart from any window.
namespace vimo {

// The tip of a note window: "From ANN, Mon 7 Dec 2026" for the row's SENDER and DT. A stamp
// that names no day leaves the date out ("From ANN"), an empty sender the "From" part; with
// neither the tip is empty.
QString NoteTipText(const QString& sender, qint64 dateStamp);

// What a screen reader says of a note besides its text: its urgency in words, then the tip,
// "Urgent. From ANN, Mon 7 Dec 2026". Red is urgent, green important, yellow (and any other
// urgency) normal.
QString NoteDescription(int urgency, const QString& sender, qint64 dateStamp);

// The names of a "Send To" list such as "ANN, BOB": split at the commas, each trimmed, empty
// entries and repeats left out, in the order typed. Case is kept: the box capitalises what
// is typed, and a name picked from the store must stay as the store has it.
QStringList SplitRecipientNames(QStringView list);

// What a copy shows of a stored name and note at most: the store may hold longer ones.
inline constexpr qsizetype ShownNameLength = 15;
inline constexpr qsizetype ShownNoteLength = 250;

// Stored text for a place that shows one line of plain text (a window's title, a list's
// cell): line breaks and other control characters as blanks, and past `longest` characters
// cut with an ellipsis. Anyone who can write the store writes these texts.
QString ShownLine(const QString& text, qsizetype longest);

// Stored text for a tip. Tips take text that looks like markup for rich text, where an
// <img> reads whatever file it names, so the text goes in escaped, as rich text of our own
// that shows it literally. Line breaks stay; cut as ShownLine cuts.
QString PlainTip(const QString& text, qsizetype longest);

// The refusal of a note to a name that is no known user, naming it.
QString UnknownUserAlert(const QString& name);

// The refusal of a name that holds characters nobody sees: it would pass for another's.
// Empty for a name without any.
QString UnseenNameAlert(const QString& name);

} // namespace vimo
