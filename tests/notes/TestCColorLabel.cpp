#include "TestEnvironment.h"

#include "notes/CColorLabel.h"

#include <QApplication>
#include <QPainter>
#include <QTest>

using namespace vimo;

namespace {

constexpr ColorRef Yellow = 0x00FFFF;
constexpr ColorRef Green = 0x00FF00;
constexpr ColorRef Red = 0x0000FF;
constexpr ColorRef Blue = 0xFF0000;

QImage Render(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool HasPixelOf(const QImage& image, const QRect& area, const QColor& color)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) == color)
                return true;
    return false;
}

// A window in colours of its own, holding one label with a text.
struct Scene {
    QWidget Parent;
    CColorLabel* Label = new CColorLabel(&Parent);

    explicit Scene(const QString& text)
    {
        QPalette colours = Parent.palette();
        colours.setColor(QPalette::Window, Qt::darkCyan);
        colours.setColor(QPalette::WindowText, Qt::white);
        Parent.setPalette(colours);
        Parent.resize(140, 40);
        Label->setGeometry(10, 10, 120, 20);
        Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        Label->setText(text);
    }
};

} // namespace

// Rendered for real on the offscreen platform: what the label paints is what a user sees.
class TestCColorLabel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void colorRefIsRedInTheLowByte()
    {
        QCOMPARE(MakeColorRef(255, 255, 0), Yellow);
        QCOMPARE(ToQColor(Red), QColor(255, 0, 0));
        QCOMPARE(ToQColor(Blue), QColor(0, 0, 255));
        QCOMPARE(FromQColor(QColor(0, 255, 0)), Green);
    }

    void neverColouredLabelPaintsInParentColours()
    {
        Scene scene(QStringLiteral("Tom & Jerry"));
        QVERIFY(!scene.Label->HasBrush());
        // Its own background colour is already there, but not painted.
        QCOMPARE(scene.Label->BackColor(),
            FromQColor(QApplication::palette().color(QPalette::Active, QPalette::Highlight)));

        const QImage shot = Render(scene.Parent);
        const QRect area = scene.Label->geometry();
        QCOMPARE(shot.pixelColor(area.bottomRight()), QColor(Qt::darkCyan));
        QVERIFY(HasPixelOf(shot, area, Qt::white));
    }

    void setColorsZeroKeepsColour_data()
    {
        QTest::addColumn<QList<ColorRef>>("calls"); // back, text, back, text, ...
        QTest::addColumn<ColorRef>("back");
        QTest::addColumn<ColorRef>("text");

        const ColorRef title = CColorLabel().BackColor();
        QTest::addRow("background set, text stays black")
            << QList<ColorRef> { Yellow, 0 } << Yellow << 0u;
        QTest::addRow("0 and 0 keep both")
            << QList<ColorRef> { Green, Blue, 0, 0 } << Green << Blue;
        QTest::addRow("text alone keeps the background")
            << QList<ColorRef> { Green, 0, 0, Red } << Green << Red;
        QTest::addRow("0 and 0 on a new label paint its own first colours")
            << QList<ColorRef> { 0, 0 } << title << 0u;
    }

    void setColorsZeroKeepsColour()
    {
        QFETCH(QList<ColorRef>, calls);
        QFETCH(ColorRef, back);
        QFETCH(ColorRef, text);

        Scene scene(QStringLiteral("Tom & Jerry"));
        for (qsizetype i = 0; i < calls.size(); i += 2)
            QVERIFY(scene.Label->SetColors(calls[i], calls[i + 1]));
        QCOMPARE(scene.Label->BackColor(), back);
        QCOMPARE(scene.Label->TextColor(), text);

        const QImage shot = Render(scene.Parent);
        const QRect area = scene.Label->geometry();
        QCOMPARE(shot.pixelColor(area.bottomRight()), ToQColor(back));
        QVERIFY(HasPixelOf(shot, area, ToQColor(text)));
        QVERIFY(!HasPixelOf(shot, area, Qt::white));
    }

    // The label's pixels must equal the text drawn literally, and differ from the text drawn
    // with "&" as a mnemonic: so an eaten or underlining "&" fails.
    void ampersandsAreDrawnAsWritten_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addRow("single ampersand between words") << QStringLiteral("Tom & Jerry");
        QTest::addRow("double ampersand stays double") << QStringLiteral("&&");
        QTest::addRow("ampersand before a letter") << QStringLiteral("&Hide");
    }

    void ampersandsAreDrawnAsWritten()
    {
        QFETCH(QString, text);

        Scene scene(text);
        scene.Label->SetColors(Yellow, Blue);
        const QImage shot = Render(*scene.Label);

        const auto drawn = [&](int flags) {
            QImage expected(shot.size(), QImage::Format_RGB32);
            expected.fill(ToQColor(Yellow));
            QPainter painter(&expected);
            painter.setFont(scene.Label->font());
            painter.setPen(ToQColor(Blue));
            painter.drawText(expected.rect(), Qt::AlignLeft | Qt::AlignTop | flags, text);
            return expected;
        };
        QCOMPARE(shot, drawn(0));
        QVERIFY(shot != drawn(Qt::TextShowMnemonic));
    }
};

VIMO_TEST_MAIN(TestCColorLabel, QApplication)
#include "TestCColorLabel.moc"
