#pragma once

#include "widgets/ColorConversion.h"

#include <QBrush>
#include <QLabel>
#include <QPointer>

namespace vimo {

// A label that draws its text and background in colours of its own. Every coloured surface
// of the program is one: note bodies, dialog captions and help texts, the urgency swatches.
// Until SetColors first runs it draws like a plain label in its parent's colours.
class CColorLabel : public QLabel {
    Q_OBJECT

public:
    explicit CColorLabel(QWidget* parent = nullptr);

    // Sets the background and text colour; 0 keeps that colour. The brush is made anew on
    // every call.
    void SetColors(ColorRef back, ColorRef text);

    // While owner has the keyboard focus, a dotted frame in the text colour says so.
    void ShowFocusOf(QWidget* owner);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void ApplyColors();
    void KeepTextColor();

    ColorRef TextColor = 0;
    ColorRef BackColor;
    bool Colored = false;
    QBrush BackBrush;
    QPointer<QWidget> FocusOwner;
};

} // namespace vimo
