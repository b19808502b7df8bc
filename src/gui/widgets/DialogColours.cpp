#include "widgets/DialogColours.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace vimo {
namespace {

QPalette Blackened(QPalette colours)
{
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::WindowText, Qt::black);
    return colours;
}

} // namespace

void UseDialogColours(QWidget* dialog)
{
    dialog->setPalette(Blackened(dialog->palette()));
}

void UseDialogColoursForClass(const QMetaObject& dialogClass)
{
    const char* name = dialogClass.className();
    const QPalette held = QApplication::palette(name);
    // Once for the application; setting it again would revisit every widget.
    if (held == Blackened(held))
        return;
    QApplication::setPalette(Blackened(QApplication::palette()), name);
}

} // namespace vimo
