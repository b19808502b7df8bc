#include "dialogs/DialogColours.h"

#include <QApplication>
#include <QPalette>

namespace vimo {

void ApplyDialogColours()
{
    const QPalette platform = QApplication::palette();
    QPalette colours = platform;
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::WindowText, Qt::black);
    QApplication::setPalette(colours, "QDialog");
    // Message boxes are the platform's, not ours, and keep its colours: black text on black
    // would leave every alert unreadable.
    QApplication::setPalette(platform, "QMessageBox");
}

} // namespace vimo
