#include "app/CNoteApp.h"

#include "app/CommandLine.h"
#include "app/DesktopSession.h"
#include "app/GroupCommand.h"
#include "app/SignIn.h"
#include "app/StartOptions.h"
#include "app/session/SessionChannel.h"
#include "dialogs/DesktopPrompts.h"
#include "setup/OpenStore.h"
#include "store/Store.h"
#include "store/StoreUpgrade.h"
#include "store/StoreWorker.h"
#include "tray/CTrayDlg.h"
#include "tray/DesktopNotifier.h"
#include "tray/FreeMemory.h"
#include "wakeup/LookupThreads.h"
#include "wakeup/StoreWakeup.h"

#include <QApplication>
#include <QScopeGuard>
#include <QTimer>

#include <cstdlib>
#include <memory>
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
    const StartOptions options = ParseStartOptions(Arguments);
    // A group is changed on the store itself, whether a copy runs or not.
    if (!options.Group.isEmpty()) {
        InstallDesktopPrompts();
        Store store;
        if (!OpenStore(store, DataFileArgument(Arguments))) {
            Status = 1;
            return false;
        }
        AddReceiptsTable(store);
        Status = RunGroupCommand(store, options.Group);
        return false;
    }
    const DesktopCommand command = options.Command;
    SessionChannel channel;
    if (!BecomeSessionCopy(channel, command))
        return false;
    InstallDesktopPrompts();

    // The store lives as long as the program, or as the last job that still uses it.
    const auto store = std::make_shared<Store>();
    if (!OpenStore(*store, DataFileArgument(Arguments)))
        return false;
    UpgradeOldStore(*store);
    AddReceiptsTable(*store);

    // From here on every statement runs on the worker, never on the desktop's thread.
    StoreWorker worker(store);
    // At the end, after Quit or a cancelled sign-in, the worker carries out what was asked
    // before (the deletions above all), waiting a few seconds at most. A store that still has
    // not answered then keeps the worker's thread in the driver: the program ends around it,
    // without the library teardown at exit that the thread could still be using.
    const auto finish = qScopeGuard([&worker] {
        if (!worker.Finish())
            std::quick_exit(0);
    });
    const QString user = SignIn(worker);
    if (user.isEmpty())
        return false;

    CTrayDlg tray(worker, user);
    const DesktopNotifier notifier(DesktopNotifier::TrayMessage(tray.TrayIcon()));
    // Where the store can tell that a note has come, the poll runs at once.
    LookupThreads lookups;
    StoreWakeup wakeup(user, lookups);
    QObject::connect(&wakeup, &StoreWakeup::NoteMayHaveArrived, &tray, &CTrayDlg::PollSoon);
    QObject::connect(&tray, &CTrayDlg::NotesPosted, &wakeup, &StoreWakeup::Announce);
    wakeup.Start(worker);
    ServeFromTray(channel, tray, command);
    // The sign-in and the store's opening leave free memory all through the heap; a copy then
    // idles in the tray all day.
    QTimer::singleShot(0, &tray, ReturnFreeMemory);
    tray.exec();
    return false;
}

} // namespace vimo
