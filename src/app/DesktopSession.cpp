#include "app/DesktopSession.h"

#include "app/DesktopPlatform.h"
#include "app/session/SessionChannel.h"
#include "prompts/Prompts.h"
#include "tray/CTrayDlg.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace vimo {
namespace {

int MenuCommandFor(DesktopCommand command)
{
    switch (command) {
    case DesktopCommand::None:
    case DesktopCommand::New:
        return CTrayDlg::NewCommand;
    case DesktopCommand::Sent:
        return CTrayDlg::SentCommand;
    case DesktopCommand::ShowAll:
        return CTrayDlg::ShowAllCommand;
    case DesktopCommand::HideAll:
        return CTrayDlg::HideAllCommand;
    case DesktopCommand::Quit:
        return CTrayDlg::QuitCommand;
    case DesktopCommand::Login:
        break;
    }
    return 0;
}

void BringForwardWhatIsShown()
{
    if (QWidget* shown = QApplication::activeModalWidget()) {
        shown->raise();
        shown->activateWindow();
    }
}

} // namespace

bool BecomeSessionCopy(SessionChannel& channel, DesktopCommand command)
{
    if (channel.HandOver(command))
        return false;
    // Nothing runs that could be hidden or ended.
    if (command == DesktopCommand::HideAll || command == DesktopCommand::Quit)
        return false;
    channel.Listen();
    QObject::connect(
        &channel, &SessionChannel::CommandReceived, &channel, [](DesktopCommand asked) {
            if (asked != DesktopCommand::Login)
                BringForwardWhatIsShown();
        });
    return true;
}

void ServeFromTray(SessionChannel& channel, CTrayDlg& tray, DesktopCommand command)
{
    QObject::disconnect(&channel, &SessionChannel::CommandReceived, nullptr, nullptr);
    QObject::connect(&channel, &SessionChannel::CommandReceived, &tray,
        [&tray](DesktopCommand asked) { tray.OnMenuCommand(MenuCommandFor(asked)); });
    // Inside the tray's run, once its icon is in place.
    QTimer::singleShot(0, &tray, [&tray, command] {
        const QString notice = DesktopNotice(QSystemTrayIcon::isSystemTrayAvailable(),
            QGuiApplication::platformName().startsWith(QLatin1String("wayland")));
        if (!notice.isEmpty())
            ShowAlert(notice);
        if (command == DesktopCommand::New || command == DesktopCommand::Sent)
            tray.OnMenuCommand(MenuCommandFor(command));
    });
}

} // namespace vimo
