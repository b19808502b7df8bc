#include "widgets/DialogSetup.h"

#include "widgets/CColorLabel.h"
#include "widgets/DialogColours.h"
#include "widgets/DialogUnits.h"
#include "widgets/EnterAsTab.h"

#include <QDialog>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

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

void PrepareListDialog(QDialog* dialog, const QString& title, CColorLabel* caption,
    QTreeWidget* list, const QStringList& headers, int textColumn, QPushButton* action,
    QPushButton* close)
{
    dialog->setWindowTitle(title);
    UseDialogColours(dialog);
    caption->setObjectName(QStringLiteral("Caption"));
    caption->SetColors(MakeColorRef(216, 208, 200), 0);
    caption->setMargin(4);
    list->setAccessibleName(title);
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->header()->setStretchLastSection(false);
    for (int column = 0; column < headers.size(); ++column)
        list->header()->setSectionResizeMode(
            column, column == textColumn ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
    close->setObjectName(QStringLiteral("CloseButton"));
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : { action, close }) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(caption);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
    dialog->resize(640, 360);
}

} // namespace vimo
