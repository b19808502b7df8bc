#include "TestWidgets.h"

#include "TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <utility>

namespace vimo::test {

void WhenModal(std::function<bool(QWidget*)> isIt, std::function<void(QWidget*)> step)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(
        poll, &QTimer::timeout, poll, [poll, isIt = std::move(isIt), step = std::move(step)] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible() || !isIt(modal))
                return;
            poll->stop();
            poll->deleteLater();
            step(modal);
        });
    poll->start(10);
}

void WhenPopup(std::function<void(QMenu*)> step)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, step = std::move(step)] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr || !menu->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        step(menu);
    });
    poll->start(10);
}

QStringList MenuTexts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* item : menu->actions())
        texts << (item->isSeparator() ? QStringLiteral("-") : item->text());
    return texts;
}

QStringList MenuOpenedBy(const std::function<void()>& action)
{
    QStringList texts;
    // Looked for once, a moment after: a menu that never opens leaves nothing waiting.
    QTimer::singleShot(50, [&texts] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            texts = MenuTexts(menu);
            menu->close();
        }
    });
    action();
    QTest::qWait(100);
    return texts;
}

void ChooseFromContextMenu(QWidget* window, QPoint at, int key)
{
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::mousePress(window->windowHandle(), Qt::RightButton, {}, at);
    QMenu* menu = nullptr;
    QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
    QTest::mouseRelease(window->windowHandle(), Qt::RightButton, {}, at);
    QTest::keyClick(menu, Qt::Key(key));
    QTRY_VERIFY(!QApplication::activePopupWidget());
}

void ClickItem(QListWidget* list, const QString& text, bool twice)
{
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    QVERIFY(!found.isEmpty());
    const QPoint at = list->visualItemRect(found.first()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    // A widget's double-click arrives as the second press of a click that has just ended.
    if (twice)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void Fire(QTimer* timer)
{
    QVERIFY(timer != nullptr);
    // What the event loop does when the interval has passed: a single-shot timer stops first.
    if (timer->isSingleShot())
        timer->stop();
    QMetaObject::invokeMethod(timer, "timeout");
    // And what the timeout asked of the store has been answered.
    QVERIFY(Settled());
}

QColor ColourAt(QWidget* widget, QPoint point)
{
    return widget->grab(QRect(point, QSize(1, 1))).toImage().pixelColor(0, 0);
}

QString TipText(const QString& tip)
{
    if (!Qt::mightBeRichText(tip))
        return tip;
    QTextDocument shown;
    shown.setHtml(tip);
    return shown.toPlainText();
}

} // namespace vimo::test
