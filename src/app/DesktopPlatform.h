#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace vimo {

// The Qt platform to ask for before the application object exists; empty leaves Qt's own
// choice. A Wayland client cannot place its windows, so on a Wayland session with XWayland
// we run through XWayland (xcb), where notes open where they should. The user's own choice
// (QT_QPA_PLATFORM, or -platform on the command line) always wins.
QByteArray ChoosePlatform(const QProcessEnvironment& environment, const QStringList& arguments);

// What the user should hear once about this desktop, after sign-in; empty when nothing.
// trayAvailable: the desktop shows a notification area. placesWindows: the desktop, not
// Vimo, decides where windows open (a Wayland platform).
QString DesktopNotice(bool trayAvailable, bool placesWindows);

} // namespace vimo
