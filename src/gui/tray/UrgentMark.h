#pragma once

#include <QIcon>

namespace vimo {

// The tray icon while an urgent note waits: the icon with a red mark in its top right corner,
// in each of its sizes. Made once, when the tray is.
QIcon WithUrgentMark(const QIcon& icon);

} // namespace vimo
