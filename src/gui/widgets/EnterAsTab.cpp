#include "widgets/EnterAsTab.h"

#include "widgets/CUserListBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>

namespace vimo {

EnterAction DecideEnter(const QWidget* focused)
{
    if (qobject_cast<const CUserListBox*>(focused))
        return EnterAction::Confirm;
    if (qobject_cast<const QLineEdit*>(focused) || qobject_cast<const QAbstractButton*>(focused))
        return EnterAction::NextTabStop;
    return EnterAction::Keep;
}

EnterAsTab::EnterAsTab(QDialog* dialog)
    : QObject(dialog)
    , Dialog(dialog)
{
}

EnterAsTab* EnterAsTab::Install(QDialog* dialog)
{
    auto* filter = new EnterAsTab(dialog);
    dialog->installEventFilter(filter);
    const QList<QWidget*> controls = dialog->findChildren<QWidget*>();
    for (QWidget* control : controls)
        control->installEventFilter(filter);
    return filter;
}

bool EnterAsTab::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    // A key the focused control let through reaches its parents too; decide only once.
    QWidget* focused = QApplication::focusWidget();
    if (watched != focused)
        return false;

    switch (DecideEnter(focused)) {
    case EnterAction::NextTabStop: {
        // The control gets a Tab in place of the Enter, so the focus moves exactly as Tab
        // moves it, backwards with Shift held.
        const bool back = key->modifiers().testFlag(Qt::ShiftModifier);
        QKeyEvent tab(QEvent::KeyPress, back ? Qt::Key_Backtab : Qt::Key_Tab,
            key->modifiers() & Qt::ShiftModifier);
        QCoreApplication::sendEvent(focused, &tab);
        return true;
    }
    case EnterAction::Confirm:
        Dialog->accept();
        return true;
    case EnterAction::Keep:
        break;
    }
    return false;
}

} // namespace vimo
