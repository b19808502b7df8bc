#pragma once

#include <QColor>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>

class QListWidget;
class QMenu;
class QTimer;
class QWidget;

// Driving windows as a user would: modal runs answered from inside their loop, menus picked
// by their keys, list items clicked, timers that come due, colours read off the screen.
namespace vimo::test {

// Runs the step on the first modal window for which isIt holds, once it is up and visible.
// Modal runs are answered from inside their own loop, so this is set up before exec().
void WhenModal(std::function<bool(QWidget*)> isIt, std::function<void(QWidget*)> step);

template <typename Window> void WhenModal(std::function<void(Window*)> step)
{
    WhenModal([](QWidget* w) { return qobject_cast<Window*>(w) != nullptr; },
        [step](QWidget* w) { step(qobject_cast<Window*>(w)); });
}

// Runs the step on the next popup menu, once it is open.
void WhenPopup(std::function<void(QMenu*)> step);

// The texts of a menu's items, "-" for a separator.
QStringList MenuTexts(const QMenu* menu);

// The texts of the popup menu that opens while action runs, which then closes it unchosen;
// empty when none opened.
QStringList MenuOpenedBy(const std::function<void()>& action);

// Presses the right button on the window at the point (window coordinates) and the key in
// the menu that opens; returns when the menu has closed.
void ChooseFromContextMenu(QWidget* window, QPoint at, int key);

// Clicks the item with this text; twice: a double-click.
void ClickItem(QListWidget* list, const QString& text, bool twice = false);

// Lets the timer come due now, as if its interval had passed.
void Fire(QTimer* timer);

// The colour a user sees at a point of the widget.
QColor ColourAt(QWidget* widget, QPoint point);

// What a tip shows, as text: an image in it shows as U+FFFC.
QString TipText(const QString& tip);

} // namespace vimo::test
