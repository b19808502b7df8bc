#pragma once

#include <QtGlobal>

namespace vimo {

// Colours are kept as the program has always written them: 0x00BBGGRR, red in the low byte.
// 0 is black, and to SetColors it means "keep the colour".
using ColorRef = quint32;

constexpr ColorRef MakeColorRef(int red, int green, int blue)
{
    return ColorRef(red & 0xFF) | (ColorRef(green & 0xFF) << 8) | (ColorRef(blue & 0xFF) << 16);
}

} // namespace vimo
