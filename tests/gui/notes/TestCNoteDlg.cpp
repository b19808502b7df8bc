#include "TestEnvironment.h"
#include "TestWidgets.h"

#include "notes/CNoteDlg.h"
#include "widgets/CColorLabel.h"

#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace vimo;

// A note as its owner opens one, driven through its window like a user would: presses and
// moves arrive through the window system, the menu is the real popup.
class TestCNoteDlg : public QObject {
    Q_OBJECT

    QWidget Owner; // the hidden main window
    std::unique_ptr<CNoteDlg> Note;

    void Open(const QRect& geometry, const QString& sender = QStringLiteral("ANN"))
    {
        const NoteRow row { 42, QStringLiteral("BOB"), sender, QStringLiteral("20261207"),
            QStringLiteral("1"), QStringLiteral("Tom & Jerry") };
        Note = std::make_unique<CNoteDlg>(row, 7, MakeColorRef(255, 255, 0), &Owner);
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
        QCOMPARE(Note->findChild<CColorLabel*>()->text(), QStringLiteral("Tom & Jerry"));
        QCOMPARE(Note->windowTitle(), QStringLiteral("Tom & Jerry"));
        QCOMPARE(Note->findChild<CColorLabel*>()->geometry(), QRect(1, 1, 98, 98));
        QCOMPARE(test::TipText(Note->toolTip()), QStringLiteral("From ANN, Mon 7 Dec 2026"));
        // Qt shows tips only in the active window unless asked, and a note rarely is one.
        QVERIFY(Note->testAttribute(Qt::WA_AlwaysShowToolTips));

        const QImage shot = Note->grab().toImage();
        for (const QPoint edge : { QPoint(0, 0), QPoint(99, 99), QPoint(0, 50), QPoint(50, 99) })
            QCOMPARE(shot.pixelColor(edge), QColor(Qt::black));
        for (const QPoint inside : { QPoint(1, 1), QPoint(98, 98) })
            QCOMPARE(shot.pixelColor(inside), QColor(Qt::yellow));
    }

    // Anyone who can write the store writes these: an <img> in a tip would read the file.
    void storedTextIsShownLiterally()
    {
        const NoteRow row { 42, QStringLiteral("BOB"), QStringLiteral("<img src=\"/dev/zero\">"),
            QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("a[*]b\nc") };
        Note = std::make_unique<CNoteDlg>(row, 7, MakeColorRef(255, 255, 0), &Owner);
        Note->show();
        QVERIFY(QTest::qWaitForWindowExposed(Note.get()));
        // Shown as written, and cut as no name is that long.
        QCOMPARE(test::TipText(Note->toolTip()), QStringLiteral("From <img src=\"/dev/\u2026"));
        // Window lists show one line.
        QCOMPARE(Note->windowHandle()->title(), QStringLiteral("a[*]b c"));
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
        Note->findChild<CColorLabel*>()->setText(QStringLiteral("stale"));
        test::ChooseFromContextMenu(Note.get(), QPoint(10, 10), key);

        QVERIFY(Note->isVisible());
        QCOMPARE(Note->geometry(), QRect(QPoint(200, 200), size));
        QCOMPARE(
            Note->findChild<CColorLabel*>()->geometry(), QRect(QPoint(1, 1), size - QSize(2, 2)));
        QCOMPARE(Note->findChild<CColorLabel*>()->text(), Note->Row().Text);
    }

    void dragFollowsPointerUntilRelease()
    {
        QSignalSpy touches(Note.get(), &CNoteDlg::Touched);
        QWindow* window = Note->windowHandle();
        QTest::mouseMove(window, At(QPoint(250, 250)));
        QCOMPARE(Note->pos(), QPoint(200, 200));
        QCOMPARE(touches.count(), 0);

        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(10, 20)); // on the label
        QTest::mouseMove(window, At(QPoint(600, 500))); // far outside the note
        QTRY_COMPARE(Note->pos(), QPoint(590, 480));
        QTest::mouseMove(window, At(QPoint(30, 40)));
        QTRY_COMPARE(Note->pos(), QPoint(20, 20));
        QTest::mouseRelease(window, Qt::LeftButton, {}, At(QPoint(30, 40)));

        QTest::mouseMove(window, At(QPoint(300, 300)));
        QCOMPARE(Note->geometry(), QRect(20, 20, 100, 100));
        QCOMPARE(touches.count(), 1);
    }

    void menuCommands_data()
    {
        // replyTo: the sender Reply asks to write to; empty when it asks nothing.
        test::Columns<QString, int, bool, QSize, int, QString>(
            "sender", "key", "visible", "size", "deleteRequests", "replyTo");
        const QString ann = QStringLiteral("ANN");
        QTest::addRow("hide keeps the note")
            << ann << int(Qt::Key_H) << false << QSize(100, 100) << 0 << QString();
        QTest::addRow("delete asks the owner once, the note stays")
            << ann << int(Qt::Key_D) << true << QSize(100, 100) << 1 << QString();
        QTest::addRow("enlarge") << ann << int(Qt::Key_E) << true << QSize(125, 125) << 0
                                 << QString();
        QTest::addRow("shrink") << ann << int(Qt::Key_S) << true << QSize(75, 75) << 0 << QString();
        QTest::addRow("reply asks to write to the sender")
            << ann << int(Qt::Key_R) << true << QSize(100, 100) << 0 << ann;
        QTest::addRow("no reply without a sender")
            << QString() << int(Qt::Key_R) << true << QSize(100, 100) << 0 << QString();
        QTest::addRow("dismissed menu changes nothing")
            << ann << int(Qt::Key_Escape) << true << QSize(100, 100) << 0 << QString();
    }

    void menuCommands()
    {
        QFETCH(QString, sender);
        QFETCH(int, key);
        QFETCH(bool, visible);
        QFETCH(QSize, size);
        QFETCH(int, deleteRequests);
        QFETCH(QString, replyTo);

        Open(QRect(200, 200, 100, 100), sender);
        QSignalSpy requests(Note.get(), &CNoteDlg::DeleteRequested);
        QSignalSpy replies(Note.get(), &CNoteDlg::ReplyRequested);
        QSignalSpy touches(Note.get(), &CNoteDlg::Touched);
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
            QStringList(
                { QStringLiteral("&Hide"), QStringLiteral("&Delete"), QStringLiteral("&Enlarge"),
                    QStringLiteral("&Shrink"), QString(), QStringLiteral("&Reply") }));
        QCOMPARE(ids, QList<int>({ 201, 202, 203, 204, 0, 205 }));
        QCOMPARE(menu->actions().last()->isEnabled(), !sender.isEmpty());

        QTest::keyClick(menu, Qt::Key(key));
        // A key of an item that is off chooses nothing; the menu stays until dismissed.
        if (sender.isEmpty()) {
            QCOMPARE(QApplication::activePopupWidget(), menu);
            QTest::keyClick(menu, Qt::Key_Escape);
        }
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QCOMPARE(Note->isVisible(), visible);
        QCOMPARE(Note->geometry(), QRect(QPoint(200, 200), size));
        QCOMPARE(requests.count(), deleteRequests);
        if (deleteRequests > 0)
            QCOMPARE(requests.first(), QVariantList({ 42, 7 }));
        QCOMPARE(replies.count(), replyTo.isEmpty() ? 0 : 1);
        if (!replyTo.isEmpty())
            QCOMPARE(replies.first(), QVariantList({ replyTo }));
        // Opening the menu was enough for the user to have seen the note.
        QCOMPARE(touches.count(), 1);
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
