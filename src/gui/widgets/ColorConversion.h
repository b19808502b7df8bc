#pragma once

#include "model/ColorRef.h"

#include <QColor>

namespace vimo {

// The one place where a ColorRef becomes a Qt colour.
inline QColor ToQColor(ColorRef color)
{
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

inline ColorRef FromQColor(const QColor& color)
{
    return MakeColorRef(color.red(), color.green(), color.blue());
}

} // namespace vimo
