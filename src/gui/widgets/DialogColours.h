#pragma once

class QWidget;

namespace vimo {

// Paints one of the program's own dialogs black, background and dialog text alike: the texts
// that must be seen are colour labels, which paint their own colours. What the desktop lends
// (alert boxes, the file dialog and its questions) is never painted so and keeps its colours.
void UseDialogColours(QWidget* dialog);

} // namespace vimo
