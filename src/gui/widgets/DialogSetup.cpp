#include "widgets/DialogSetup.h"

#include "widgets/DialogColours.h"
#include "widgets/DialogUnits.h"
#include "widgets/EnterAsTab.h"

#include <QDialog>
#include <QEvent>

#include <utility>

namespace vimo {
namespace {

// Watches its parent for the first show event; it reaches the filter before the widget.
class FirstShowFilter : public QObject {
public:
    FirstShowFilter(QWidget* widget, std::function<void()> init)
        : QObject(widget)
        , Init(std::move(init))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == parent() && event->type() == QEvent::Show && Init) {
            watched->removeEventFilter(this);
            std::exchange(Init, nullptr)();
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> Init;
};

} // namespace

void CallOnFirstShow(QWidget* widget, std::function<void()> init)
{
    new FirstShowFilter(widget, std::move(init));
}

void PrepareFormDialog(QDialog* dialog, std::function<void()> init)
{
    FitToFont(dialog);
    EnterAsTab::Install(dialog);
    UseDialogColours(dialog);
    CallOnFirstShow(dialog, std::move(init));
}

} // namespace vimo
