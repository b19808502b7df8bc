#pragma once

#include <QIcon>

namespace vimo {

// The program's icon in every size it is drawn in, so that a tray or a window icon gets a
// sharp picture at any screen scale, not one stretched from another size. Once it is the
// windows' icon, that one is returned: decoded once, its pixels shared with the tray.
QIcon AppIcon();

// The same for windows that come many at a time, in the sizes title bars and window lists
// draw (16 to 48). Every window hands all sizes of its icon to the display server for as long
// as it is open, and 64 and 128 px would cost each note some 80 KB there.
QIcon NoteWindowIcon();

} // namespace vimo
