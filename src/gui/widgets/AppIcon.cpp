#include "widgets/AppIcon.h"

#include <QGuiApplication>

#include <initializer_list>

namespace vimo {
namespace {

QIcon IconOfSizes(std::initializer_list<int> sizes)
{
    QIcon icon;
    for (const int size : sizes)
        icon.addFile(QStringLiteral(":/icons/vimo-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

QIcon AppIcon()
{
    const QIcon shared = QGuiApplication::windowIcon();
    return shared.isNull() ? IconOfSizes({ 16, 22, 32, 48, 64, 128 }) : shared;
}

QIcon NoteWindowIcon()
{
    return IconOfSizes({ 16, 22, 32, 48 });
}

} // namespace vimo
