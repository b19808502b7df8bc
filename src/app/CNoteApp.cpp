#include "app/CNoteApp.h"

#include "app/CTrayDlg.h"
#include "app/CommandLine.h"
#include "app/DesktopSession.h"
#include "app/SessionChannel.h"
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
    // One copy for each user and session: a later start hands its command over and ends.
    const DesktopCommand command = ParseStartOptions(Arguments).Command;
    SessionChannel channel;
    if (!BecomeSessionCopy(channel, command))
        return false;
    ApplyDialogColours();
    InstallDesktopPrompts();

    if (!OpenStore(DataFileArgument(Arguments)))
        return false;

    if (!SignIn())
        return false;

    CTrayDlg tray;
    ServeFromTray(channel, tray, command);
    tray.exec();
    return false;
}

} // namespace vimo
