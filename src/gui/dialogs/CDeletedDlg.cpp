#include "dialogs/CDeletedDlg.h"

#include "model/DateStamp.h"
#include "model/NoteTexts.h"
#include "widgets/CColorLabel.h"
#include "widgets/DialogSetup.h"

#include <QPushButton>
#include <QTreeWidget>

namespace vimo {

CDeletedDlg::CDeletedDlg(QWidget* parent)
    : QDialog(parent, CaptionedDialogFlags)
    , Caption(new CColorLabel(this))
    , List(new QTreeWidget(this))
    , RestoreButton(new QPushButton(tr("&Restore"), this))
    , CloseButton(new QPushButton(tr("Close"), this))
{
    List->setObjectName(QStringLiteral("DeletedList"));
    RestoreButton->setObjectName(QStringLiteral("RestoreButton"));
    PrepareListDialog(this, tr("Deleted Vimos"), Caption, List,
        { tr("From"), tr("Date"), tr("Text"), tr("Deleted") }, TextColumn, RestoreButton,
        CloseButton);
    connect(RestoreButton, &QPushButton::clicked, this, &CDeletedDlg::RestoreSelected);
    connect(List, &QTreeWidget::itemActivated, this, &CDeletedDlg::RestoreSelected);
    connect(List, &QTreeWidget::itemSelectionChanged, this,
        [this] { RestoreButton->setEnabled(!List->selectedItems().isEmpty()); });
    SetRows({});
}

CDeletedDlg::~CDeletedDlg() = default;

void CDeletedDlg::SetRows(const QList<DeletedNote>& rows)
{
    Rows = rows;
    Caption->setText(rows.isEmpty()
            ? tr("No Vimo was deleted in the last %n days.", nullptr, KeptDeletedDays)
            : tr("Vimos deleted in the last %n days, newest first.", nullptr, KeptDeletedDays));
    List->clear();
    for (const DeletedNote& row : rows) {
        const QDate day = StampDate(row.Stamp);
        auto* item = new QTreeWidgetItem(List,
            { ShownLine(row.Sender, ShownNameLength), day.isValid() ? DayText(day) : QString(),
                ShownLine(row.Text, ShownNoteLength),
                MomentText(QDateTime::fromSecsSinceEpoch(row.Gone)) });
        item->setToolTip(TextColumn, PlainTip(row.Text, ShownNoteLength));
    }
    if (!rows.isEmpty()) {
        List->setCurrentItem(List->topLevelItem(0));
        List->topLevelItem(0)->setSelected(true);
    }
    RestoreButton->setEnabled(!rows.isEmpty());
    List->setFocus(Qt::OtherFocusReason);
}

void CDeletedDlg::RestoreSelected()
{
    const QList<QTreeWidgetItem*> selected = List->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = List->indexOfTopLevelItem(selected.first());
    if (row >= 0 && row < Rows.size())
        Q_EMIT RestoreRequested(Rows[row]);
}

} // namespace vimo
