#include "TestEnvironment.h"
#include "TestWidgets.h"

#include "notes/CNoteDlg.h"
#include "widgets/CColorLabel.h"

#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace vimo;

// A note as its owner opens one, driven through its window like a user would: presses and
// moves arrive through the window system, the menu is the real popup.
class TestCNoteDlg : public QObject {
    Q_OBJECT

    QWidget Owner; // the hidden main window
    std::unique_ptr<CNoteDlg> Note;

    void Open(const QRect& geometry)
    {
        Note = std::make_unique<CNoteDlg>(&Owner);
        Note->Key = 42;
        Note->Slot = 7;
        Note->Text = QStringLiteral("Tom & Jerry");
        Note->Label->SetColors(MakeColorRef(255, 255, 0), 0);
        Note->setGeometry(geometry);
        Note->show();
        QVERIFY(QTest::qWaitForWindowExposed(Note.get()));
    }

    // Note coordinates of a screen point, for events sent to the note's window.
    QPoint At(QPoint screen) const { return screen - Note->pos(); }

private Q_SLOTS:
    void init() { Open(QRect(200, 200, 100, 100)); }
    void cleanup() { Note.reset(); }

    void opensOwnedFramelessWithBlackFrame()
    {
        QCOMPARE(Note->parentWidget(), &Owner);
        QVERIFY(Note->isWindow());
        QVERIFY(Note->windowFlags().testFlags(Qt::Tool | Qt::FramelessWindowHint));
        QTRY_VERIFY(Note->isActiveWindow());
        QCOMPARE(Note->Label->text(), QStringLiteral("Tom & Jerry"));
        QCOMPARE(Note->windowTitle(), QStringLiteral("Tom & Jerry"));
        QCOMPARE(Note->Label->geometry(), QRect(1, 1, 98, 98));

        const QImage shot = Note->grab().toImage();
        for (const QPoint edge : { QPoint(0, 0), QPoint(99, 99), QPoint(0, 50), QPoint(50, 99) })
            QCOMPARE(shot.pixelColor(edge), QColor(Qt::black));
        for (const QPoint inside : { QPoint(1, 1), QPoint(98, 98) })
            QCOMPARE(shot.pixelColor(inside), QColor(Qt::yellow));
    }

    // Resizing also puts the note's text back, even when the size stays.
    void resizeKeepsCornerAndFrame_data()
    {
        test::Columns<QSize, int, QSize>("start", "key", "size");
        QTest::addRow("enlarge") << QSize(100, 100) << int(Qt::Key_E) << QSize(125, 125);
        QTest::addRow("shrink at the floor") << QSize(25, 25) << int(Qt::Key_S) << QSize(25, 25);
        QTest::addRow("shrink a flat note") << QSize(60, 30) << int(Qt::Key_S) << QSize(35, 30);
    }

    void resizeKeepsCornerAndFrame()
    {
        QFETCH(QSize, start);
        QFETCH(int, key);
        QFETCH(QSize, size);

        Note->resize(start);
        QTRY_COMPARE(Note->size(), start);
        Note->Label->setText(QStringLiteral("stale"));
        test::ChooseFromContextMenu(Note.get(), QPoint(10, 10), key);

        QVERIFY(Note->isVisible());
        QCOMPARE(Note->geometry(), QRect(QPoint(200, 200), size));
        QCOMPARE(Note->Label->geometry(), QRect(QPoint(1, 1), size - QSize(2, 2)));
        QCOMPARE(Note->Label->text(), Note->Text);
    }

    void dragFollowsPointerUntilRelease()
    {
        QWindow* window = Note->windowHandle();
        QTest::mouseMove(window, At(QPoint(250, 250)));
        QCOMPARE(Note->pos(), QPoint(200, 200));

        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(10, 20)); // on the label
        QTest::mouseMove(window, At(QPoint(600, 500))); // far outside the note
        QTRY_COMPARE(Note->pos(), QPoint(590, 480));
        QTest::mouseMove(window, At(QPoint(30, 40)));
        QTRY_COMPARE(Note->pos(), QPoint(20, 20));
        QTest::mouseRelease(window, Qt::LeftButton, {}, At(QPoint(30, 40)));

        QTest::mouseMove(window, At(QPoint(300, 300)));
        QCOMPARE(Note->geometry(), QRect(20, 20, 100, 100));
    }

    void menuCommands_data()
    {
        test::Columns<int, bool, QSize, int>("key", "visible", "size", "deleteRequests");
        QTest::addRow("hide keeps the note") << int(Qt::Key_H) << false << QSize(100, 100) << 0;
        QTest::addRow("delete asks the owner once, the note stays")
            << int(Qt::Key_D) << true << QSize(100, 100) << 1;
        QTest::addRow("enlarge") << int(Qt::Key_E) << true << QSize(125, 125) << 0;
        QTest::addRow("shrink") << int(Qt::Key_S) << true << QSize(75, 75) << 0;
        QTest::addRow("dismissed menu changes nothing")
            << int(Qt::Key_Escape) << true << QSize(100, 100) << 0;
    }

    void menuCommands()
    {
        QFETCH(int, key);
        QFETCH(bool, visible);
        QFETCH(QSize, size);
        QFETCH(int, deleteRequests);

        QSignalSpy requests(Note.get(), &CNoteDlg::DeleteRequested);
        QWindow* window = Note->windowHandle();
        QTest::mousePress(window, Qt::RightButton, {}, QPoint(50, 50));
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
        QTest::mouseRelease(window, Qt::RightButton, {}, QPoint(50, 50));

        QStringList texts;
        QList<int> ids;
        for (const QAction* action : menu->actions()) {
            texts << action->text();
            ids << action->data().toInt();
        }
        QCOMPARE(texts,
            QStringList({ QStringLiteral("&Hide"), QStringLiteral("&Delete"),
                QStringLiteral("&Enlarge"), QStringLiteral("&Shrink") }));
        QCOMPARE(ids, QList<int>({ 201, 202, 203, 204 }));

        QTest::keyClick(menu, Qt::Key(key));
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QCOMPARE(Note->isVisible(), visible);
        QCOMPARE(Note->geometry(), QRect(QPoint(200, 200), size));
        QCOMPARE(requests.count(), deleteRequests);
        if (deleteRequests > 0)
            QCOMPARE(requests.first(), QVariantList({ 42, 7 }));
    }

    // The owner's delete timer may fire while the user has the note's menu open again.
    void noteRemovedWhileItsMenuIsOpen()
    {
        QTest::mousePress(Note->windowHandle(), Qt::RightButton, {}, QPoint(50, 50));
        QTRY_VERIFY(QApplication::activePopupWidget());
        Note.reset();
        QVERIFY(!QApplication::activePopupWidget());
        QTest::mouseRelease(&Owner, Qt::RightButton);
    }
};

VIMO_TEST_MAIN(TestCNoteDlg, QApplication)
#include "TestCNoteDlg.moc"
