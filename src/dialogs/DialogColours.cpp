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
    // Message boxes (alerts, and the questions Qt's file dialog asks) are the desktop's, not
    // ours, and keep its colours: black text on black would leave them unreadable.
    QApplication::setPalette(platform, "QMessageBox");
}

} // namespace vimo
