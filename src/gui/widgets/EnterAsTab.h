#pragma once

#include <QObject>

class QDialog;
class QWidget;

namespace vimo {

// What the Enter key does in the program's dialogs, by the kind of control that has the focus.
enum class EnterAction {
    NextTabStop, // one-line boxes, buttons and check boxes: Enter moves on like Tab
    Confirm, // the user picker: Enter is the dialog's OK
    Keep, // multi-line text and anything else: the control's own Enter (a new line)
};

EnterAction DecideEnter(const QWidget* focused);

// Makes Enter move between the controls of a dialog the way DecideEnter says. A button is
// pressed with the Space bar or the mouse, never with Enter; Esc is left alone and still
// cancels.
class EnterAsTab : public QObject {
    Q_OBJECT

public:
    // Watches the dialog and every control in it; the filter belongs to the dialog.
    static EnterAsTab* Install(QDialog* dialog);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit EnterAsTab(QDialog* dialog);

    QDialog* Dialog;
};

} // namespace vimo
