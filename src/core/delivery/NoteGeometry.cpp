#include "delivery/NoteGeometry.h"

namespace vimo {

namespace {

int ShrunkSide(int side)
{
    return side >= NoteShrinkLimit ? side - NoteResizeStep : side;
}

} // namespace

QSize ResizedNoteSize(QSize current, bool grow)
{
    if (grow)
        return current + QSize(NoteResizeStep, NoteResizeStep);
    return QSize(ShrunkSide(current.width()), ShrunkSide(current.height()));
}

QRect NoteLabelRect(QSize noteSize)
{
    return QRect(QPoint(0, 0), noteSize).adjusted(1, 1, -1, -1);
}

QPoint DraggedNotePosition(QPoint pointer, QPoint grabPoint)
{
    return pointer - grabPoint;
}

} // namespace vimo
