#pragma once

class QWidget;

namespace vimo {

// The dialog forms are drawn for a font whose average character is 6 × 13 pixels. Scales a
// dialog and every control in it to the font it really has, as the forms' dialog units
// intend, so that the texts fit whatever font the desktop gives. Call it once, after the
// form is set up and before the dialog is shown.
void FitToFont(QWidget* dialog);

} // namespace vimo
