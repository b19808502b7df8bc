#include "TestEnvironment.h"

#include "delivery/NoteGeometry.h"

#include <QTest>

using namespace vimo;

// Enlarge and Shrink, without a window.
class TestNoteGeometry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void resizeSteps_data()
    {
        // commands: e for Enlarge, s for Shrink
        test::Columns<QSize, QString, QList<QSize>>("start", "commands", "sizes");

        QTest::addRow("shrink from 100 stops at 25")
            << QSize(100, 100) << QStringLiteral("ssss")
            << QList<QSize> { { 75, 75 }, { 50, 50 }, { 25, 25 }, { 25, 25 } };
        QTest::addRow("enlarge has no upper limit")
            << QSize(100, 100) << QStringLiteral("eee")
            << QList<QSize> { { 125, 125 }, { 150, 150 }, { 175, 175 } };
        QTest::addRow("each side shrinks by itself, from 50 on")
            << QSize(60, 30) << QStringLiteral("ss") << QList<QSize> { { 35, 30 }, { 35, 30 } };
        QTest::addRow("a side of 49 stays, a side of 50 shrinks")
            << QSize(49, 50) << QStringLiteral("s") << QList<QSize> { { 49, 25 } };
    }

    void resizeSteps()
    {
        QFETCH(QSize, start);
        QFETCH(QString, commands);
        QFETCH(QList<QSize>, sizes);

        QSize size = start;
        for (qsizetype i = 0; i < commands.size(); ++i) {
            size = ResizedNoteSize(size, commands[i] == u'e');
            QCOMPARE(size, sizes[i]);
        }
    }

    void dragKeepsGrabbedPointUnderPointer()
    {
        QCOMPARE(DraggedNotePosition(QPoint(600, 500), QPoint(10, 20)), QPoint(590, 480));
        // Near the screen's corner the note may go partly off screen, as the user drags it.
        QCOMPARE(DraggedNotePosition(QPoint(5, 5), QPoint(90, 90)), QPoint(-85, -85));
    }
};

VIMO_TEST_MAIN(TestNoteGeometry, QCoreApplication)
#include "TestNoteGeometry.moc"
