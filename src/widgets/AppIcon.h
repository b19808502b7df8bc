#pragma once

#include <QIcon>

namespace vimo {

// The program's icon in every size it is drawn in, so that a tray or a window icon gets a
// sharp picture at any screen scale, not one stretched from another size.
QIcon AppIcon();

} // namespace vimo
