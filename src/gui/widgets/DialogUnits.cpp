#include "widgets/DialogUnits.h"

#include <QFontMetricsF>
#include <QWidget>

#include <cmath>

namespace vimo {
namespace {

// The character cell of the font the forms were drawn with.
constexpr double DesignCharWidth = 6.0;
constexpr double DesignCharHeight = 13.0;

int Scaled(int pixels, double factor)
{
    return static_cast<int>(std::lround(pixels * factor));
}

} // namespace

void FitToFont(QWidget* dialog)
{
    const QFontMetricsF metrics(dialog->font());
    // Dialog units are measured by the average width of the 52 letters.
    const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const double charWidth = metrics.horizontalAdvance(letters) / letters.size();
    const double x = charWidth / DesignCharWidth;
    const double y = metrics.height() / DesignCharHeight;

    const QList<QWidget*> controls = dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* control : controls) {
        const QRect place = control->geometry();
        control->setGeometry(Scaled(place.x(), x), Scaled(place.y(), y), Scaled(place.width(), x),
            Scaled(place.height(), y));
    }
    dialog->setFixedSize(Scaled(dialog->width(), x), Scaled(dialog->height(), y));
}

} // namespace vimo
