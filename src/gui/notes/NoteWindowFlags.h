#pragma once

#include <Qt>

namespace vimo {

// The kind of window a note is: a borderless tool window owned by the main window. Through
// XWayland the window manager of a Wayland desktop may put a note elsewhere and ignore its
// moves (weston does both), so there the note bypasses it: the X server alone places it,
// where Vimo says, and it follows a drag. It then stays above other windows.
Qt::WindowFlags NoteWindowFlags(bool throughXWayland);

// True when Qt draws through XWayland: the xcb platform inside a Wayland session.
bool RunsThroughXWayland();

} // namespace vimo
