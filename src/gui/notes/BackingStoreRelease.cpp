#include "notes/BackingStoreRelease.h"

#include <QBackingStore>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace vimo {
namespace {

// Qt paints a window in two places: when the window system exposes it, and when the window
// itself asks for an update. Either way the whole paint, and the flush to the screen, happens
// inside that one event, so the filter lets the event run first and gives the image back after.
class Release final : public QObject {
public:
    explicit Release(QWidget* window)
        : QObject(window)
        , Window(window)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == Window && event->type() == QEvent::Show)
            WatchNativeWindow();
        const bool paints = (watched == Window && event->type() == QEvent::UpdateRequest)
            || (watched == Native && event->type() == QEvent::Expose);
        if (!paints || Painting)
            return false;

        Painting = true;
        watched->event(event);
        // An expose of a window whose image was given back finds nothing to repaint and shows
        // the empty image; paint it whole instead. The sizes differ then, and Qt repaints
        // everything when they do.
        if (event->type() == QEvent::Expose && Native->isExposed() && HeldSize() != Window->size())
            Window->repaint();
        GiveBack();
        Painting = false;
        return true;
    }

private:
    // The native window exists from the first show on; it takes the exposes.
    void WatchNativeWindow()
    {
        QWindow* native = Window->windowHandle();
        if (native == nullptr || native == Native)
            return;
        if (Native)
            Native->removeEventFilter(this);
        Native = native;
        Native->installEventFilter(this);
    }

    QSize HeldSize() const
    {
        const QBackingStore* store = Window->backingStore();
        return store ? store->size() : QSize();
    }

    void GiveBack()
    {
        // Empty, not invalid: Qt resizes a store of another size before it paints into it.
        if (QBackingStore* store = Window->backingStore(); store && !store->size().isEmpty())
            store->resize(QSize(0, 0));
    }

    QWidget* const Window;
    QPointer<QWindow> Native;
    bool Painting = false;
};

} // namespace

void ReleaseBackingStoreAfterPaint(QWidget* window)
{
    if (QGuiApplication::platformName() == u"xcb")
        new Release(window);
}

} // namespace vimo
