#include "widgets/AppIcon.h"

namespace vimo {

QIcon AppIcon()
{
    QIcon icon;
    for (const int size : { 16, 22, 32, 48, 64, 128 })
        icon.addFile(QStringLiteral(":/icons/vimo-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace vimo
