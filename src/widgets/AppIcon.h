#pragma once

#include <QIcon>

namespace vimo {

// The program's icon in every size a tray draws it in, so that it gets a sharp picture at any
// screen scale, not one stretched from another size.
QIcon AppIcon();

// The same in the sizes window lists and switchers draw (16 to 48). Every window, each note
// included, hands its icon's pixels to the display server, all sizes of it, for as long as it
// is open: the larger sizes would cost every note some 80 KB there.
QIcon WindowIcon();

} // namespace vimo
