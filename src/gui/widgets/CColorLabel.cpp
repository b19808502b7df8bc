#include "widgets/CColorLabel.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
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

void CColorLabel::ShowFocusOf(QWidget* owner)
{
    FocusOwner = owner;
    owner->installEventFilter(this);
}

bool CColorLabel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FocusOwner
        && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        update();
    return QLabel::eventFilter(watched, event);
}

void CColorLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (FocusOwner && FocusOwner->hasFocus()) {
        QPainter painter(this);
        painter.setPen(QPen(ToQColor(TextColor), 1, Qt::DotLine));
        // One pixel in: the note's own frame stays as it is.
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
    }
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
