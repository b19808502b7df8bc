#pragma once

#include "model/ColorRef.h"

#include <QDateTime>
#include <QPoint>
#include <QRect>
#include <QString>

// The arithmetic of the tray window, apart from any window.
namespace vimo {

// "0 Vimos Active", "1 Vimo Active", "2 Vimos Active", ...
QString TrayTipText(int openNotes);

// While polls fail: "Vimo: the store cannot be reached since 10:42", the local time of the
// first failed poll.
QString OutageTipText(const QDateTime& since);

// The background of a note by its urgency: 1 yellow, 2 green, 3 red, anything else yellow.
ColorRef UrgencyColor(int urgency);

inline constexpr int NoteSize = 100;

// Where the note of a slot opens: (10k + 50, 10k + 50) while a note there lies wholly inside
// the available area of the screen; otherwise the position wraps back into that area, so that
// no note opens where it can never be reached.
QPoint NotePosition(int slot, const QRect& available);

} // namespace vimo
