#include "TestEnvironment.h"

#include "widgets/CColorLabel.h"

#include <QApplication>
#include <QPainter>
#include <QTest>

using namespace vimo;

namespace {

constexpr ColorRef Yellow = 0x00FFFF;
constexpr ColorRef Green = 0x00FF00;
constexpr ColorRef Red = 0x0000FF;
constexpr ColorRef Blue = 0xFF0000;
const QColor ParentBack = Qt::darkCyan;
const QColor ParentText = Qt::white;

// A label with a text in a window of its own colours.
struct Scene {
    QWidget Parent;
    CColorLabel* Label = new CColorLabel(&Parent);

    explicit Scene(const QString& text)
    {
        QPalette colours = Parent.palette();
        colours.setColor(QPalette::Window, ParentBack);
        colours.setColor(QPalette::WindowText, ParentText);
        Parent.setPalette(colours);
        Parent.resize(140, 40);
        Label->setGeometry(10, 10, 120, 20);
        Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        Label->setText(text);
    }

    // What the label's area looks like on screen, and whether it holds a pixel of a colour.
    QImage Shot()
    {
        return Parent.grab(Label->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
    }
    static bool Holds(const QImage& image, const QColor& color)
    {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == color)
                    return true;
        return false;
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
        QCOMPARE(ToQColor(Blue), QColor(0, 0, 255));
        QCOMPARE(FromQColor(QColor(255, 0, 0)), Red);
    }

    void paintsOwnColoursOnceSet_data()
    {
        // calls: back, text, back, text, ...
        test::Columns<QList<ColorRef>, QColor, QColor>("calls", "back", "text");

        // The platform's colour of an active title bar, until a colour is set.
        const QColor title = QApplication::palette().color(QPalette::Active, QPalette::Highlight);
        QTest::addRow("never coloured: the parent's colours")
            << QList<ColorRef> {} << ParentBack << ParentText;
        QTest::addRow("background set, text stays black")
            << QList<ColorRef> { Yellow, 0 } << QColor(Qt::yellow) << QColor(Qt::black);
        QTest::addRow("0 and 0 keep both")
            << QList<ColorRef> { Green, Blue, 0, 0 } << QColor(Qt::green) << QColor(Qt::blue);
        QTest::addRow("text alone keeps the background")
            << QList<ColorRef> { Green, 0, 0, Red } << QColor(Qt::green) << QColor(Qt::red);
        QTest::addRow("0 and 0 on a new label: its own first colours")
            << QList<ColorRef> { 0, 0 } << title << QColor(Qt::black);
    }

    void paintsOwnColoursOnceSet()
    {
        QFETCH(QList<ColorRef>, calls);
        QFETCH(QColor, back);
        QFETCH(QColor, text);

        Scene scene(QStringLiteral("Tom & Jerry"));
        for (qsizetype i = 0; i < calls.size(); i += 2)
            scene.Label->SetColors(calls[i], calls[i + 1]);

        const QImage shot = scene.Shot();
        QCOMPARE(shot.pixelColor(shot.rect().bottomRight()), back);
        QVERIFY(Scene::Holds(shot, text));
        if (!calls.isEmpty())
            QVERIFY(!Scene::Holds(shot, ParentText));
    }

    // The label's pixels must equal the text drawn literally and differ from the text drawn
    // with "&" as a mnemonic, so an eaten or underlining "&" fails.
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
        const QImage shot = scene.Shot();
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
