#include "widgets/CColorLabel.h"

#include <QApplication>
#include <QEvent>
#include <QPaintEvent>
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

void CColorLabel::changeEvent(QEvent* event)
{
    // A parent that changes its colours later must not change the label's text colour.
    if (event->type() == QEvent::PaletteChange && Colored)
        KeepTextColor();
    QLabel::changeEvent(event);
}

void CColorLabel::paintEvent(QPaintEvent* event)
{
    if (Colored) {
        QPainter painter(this);
        painter.fillRect(event->rect(), BackBrush);
    }
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
    // The background is painted here rather than through a palette: a palette of its own is a
    // copy of every colour, over a kilobyte for each of hundreds of note labels.
    Colored = true;
    setAttribute(Qt::WA_OpaquePaintEvent);
    KeepTextColor();
    update();
}

void CColorLabel::KeepTextColor()
{
    const QColor text = ToQColor(TextColor);
    const QPalette& colors = palette();
    bool same = true;
    for (const auto group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled })
        same = same && colors.color(group, QPalette::WindowText) == text;
    // The same text colour as the parent's is shared with it.
    if (same)
        return;
    QPalette own = colors;
    own.setColor(QPalette::WindowText, text);
    setPalette(own);
}

} // namespace vimo
