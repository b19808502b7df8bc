#pragma once

#include <QColor>
#include <QtGlobal>

namespace vimo {

// Colours are kept as the program has always written them: 0x00BBGGRR, red in the low byte.
// 0 is black, and to SetColors it means "keep the colour".
using ColorRef = quint32;

constexpr ColorRef MakeColorRef(int red, int green, int blue)
{
    return ColorRef(red & 0xFF) | (ColorRef(green & 0xFF) << 8) | (ColorRef(blue & 0xFF) << 16);
}

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
