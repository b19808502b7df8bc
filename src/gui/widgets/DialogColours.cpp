#include "widgets/DialogColours.h"

#include <QPalette>
#include <QWidget>

namespace vimo {

void UseDialogColours(QWidget* dialog)
{
    QPalette colours = dialog->palette();
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::WindowText, Qt::black);
    dialog->setPalette(colours);
}

} // namespace vimo
