#include "app/CNoteApp.h"

#include "app/CommandLine.h"
#include "store/OpenStore.h"
#include "store/ui/DesktopPrompts.h"

#include <QApplication>
#include <QDialog>
#include <QPalette>

#include <utility>

namespace vimo {

CNoteApp::CNoteApp(QStringList arguments)
    : Arguments(std::move(arguments))
{
}

void ApplyDialogColours()
{
    QPalette colours = QApplication::palette();
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::WindowText, Qt::black);
    QApplication::setPalette(colours, "QDialog");
}

bool CNoteApp::InitInstance()
{
    // The program ends when InitInstance returns, never because a last window closed: the
    // tray window is hidden and alert boxes come and go.
    QApplication::setQuitOnLastWindowClosed(false);
    ApplyDialogColours();
    InstallDesktopPrompts();

    if (!OpenStore(DataFileArgument(Arguments)))
        return false;

    // Sign-in and the tray window follow here.
    return false;
}

} // namespace vimo
