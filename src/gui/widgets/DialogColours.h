#pragma once

struct QMetaObject;
class QWidget;

namespace vimo {

// Paints one of the program's own dialogs black, background and dialog text alike: the texts
// that must be seen are colour labels, which paint their own colours. What the desktop lends
// (alert boxes, the file dialog and its questions) is never painted so and keeps its colours.
void UseDialogColours(QWidget* dialog);

// The same for every window of a class, held once by the application rather than copied into
// each window: for the notes, of which hundreds may be open. The windows take the colours
// when they are first shown or polished.
void UseDialogColoursForClass(const QMetaObject& dialogClass);

} // namespace vimo
