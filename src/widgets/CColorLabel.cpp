#include "widgets/CColorLabel.h"

#include <QApplication>
#include <QPalette>

namespace vimo {

CColorLabel::CColorLabel(QWidget* parent)
    : QLabel(parent)
    // The platform's colour of an active title bar stands in until SetColors runs.
    , BackColor(FromQColor(QApplication::palette().color(QPalette::Active, QPalette::Highlight)))
{
    // Texts are shown exactly as written: no markup, and "&" is drawn, never a mnemonic.
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
}

void CColorLabel::SetColors(ColorRef back, ColorRef text)
{
    if (text != 0)
        TextColor = text;
    if (back != 0)
        BackColor = back;
    BackBrush = QBrush(ToQColor(BackColor));
    ApplyColors();
}

void CColorLabel::ApplyColors()
{
    QPalette colors = palette();
    colors.setBrush(QPalette::Window, BackBrush);
    colors.setColor(QPalette::WindowText, ToQColor(TextColor));
    setPalette(colors);
    setAutoFillBackground(true);
}

} // namespace vimo
