#include "app/CNoteApp.h"

#include "app/CommandLine.h"
#include "app/SignIn.h"
#include "dialogs/DialogColours.h"
#include "store/OpenStore.h"
#include "store/ui/DesktopPrompts.h"

#include <QApplication>

#include <utility>

namespace vimo {

CNoteApp::CNoteApp(QStringList arguments)
    : Arguments(std::move(arguments))
{
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

    if (!SignIn())
        return false;

    // The tray window runs here, modally, for as long as the user keeps the program.
    return false;
}

} // namespace vimo
