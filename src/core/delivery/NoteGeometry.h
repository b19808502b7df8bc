#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// The arithmetic of a note window, kept apart from the window so it can be checked alone.
namespace vimo {

// Enlarge and Shrink change each side by this much.
inline constexpr int NoteResizeStep = 25;

// A side shrinks only while it is at least this long, so no side drops below 25.
inline constexpr int NoteShrinkLimit = 50;

// The size after one Enlarge (grow) or Shrink. Enlarge has no upper limit; Shrink treats each
// side by itself.
QSize ResizedNoteSize(QSize current, bool grow);

// Where the label sits in a note of the given size: one pixel in from every edge, so the
// note's own black background shows as a thin frame.
QRect NoteLabelRect(QSize noteSize);

// Where a dragged note goes: the point that was grabbed (in note coordinates) stays under the
// pointer (in screen coordinates).
QPoint DraggedNotePosition(QPoint pointer, QPoint grabPoint);

} // namespace vimo
