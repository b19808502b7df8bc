#include "notes/NoteWindowFlags.h"

#include <QGuiApplication>

namespace vimo {

Qt::WindowFlags NoteWindowFlags(bool throughXWayland)
{
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint;
    if (throughXWayland)
        flags |= Qt::X11BypassWindowManagerHint;
    return flags;
}

bool RunsThroughXWayland()
{
    return QGuiApplication::platformName() == u"xcb"
        && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace vimo
