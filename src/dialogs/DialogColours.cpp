#include "dialogs/DialogColours.h"

#include <QApplication>
#include <QPalette>

namespace vimo {

void ApplyDialogColours()
{
    QPalette colours = QApplication::palette();
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::WindowText, Qt::black);
    QApplication::setPalette(colours, "QDialog");
}

} // namespace vimo
