#include "app/DesktopPlatform.h"

#include <QCoreApplication>

namespace vimo {

QByteArray ChoosePlatform(const QProcessEnvironment& environment, const QStringList& arguments)
{
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        return QByteArray();
    for (const QString& argument : arguments) {
        if (argument == u"-platform" || argument == u"--platform"
            || argument.startsWith(u"-platform=") || argument.startsWith(u"--platform="))
            return QByteArray();
    }
    const bool wayland = !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()
        || environment.value(QStringLiteral("XDG_SESSION_TYPE")) == u"wayland";
    const bool xwayland = !environment.value(QStringLiteral("DISPLAY")).isEmpty();
    if (wayland && xwayland)
        return QByteArrayLiteral("xcb");
    return QByteArray();
}

QString DesktopNotice(bool trayAvailable, bool placesWindows)
{
    QStringList paragraphs;
    if (!trayAvailable) {
        paragraphs << QCoreApplication::translate("DesktopPlatform",
            "This desktop shows no notification area, so Vimo has no icon in it. "
            "Vimo runs all the same and your notes arrive.\n"
            "To write a note, start Vimo again. \"Sent Vimos\", \"Show All Vimos\", "
            "\"Hide All Vimos\" and \"Quit\" are in the menu of Vimo's entry in your "
            "applications (right-click it), or run vimo --sent, --show-all, --hide-all or "
            "--quit.");
    }
    if (placesWindows) {
        paragraphs << QCoreApplication::translate("DesktopPlatform",
            "This Wayland desktop places every window itself, so notes open where the desktop "
            "puts them, not one below the other. With XWayland installed, Vimo places them "
            "as usual.");
    }
    return paragraphs.join(QStringLiteral("\n\n"));
}

} // namespace vimo
