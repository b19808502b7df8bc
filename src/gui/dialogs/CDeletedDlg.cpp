#include "dialogs/CDeletedDlg.h"

#include "model/DateStamp.h"
#include "model/NoteTexts.h"
#include "widgets/CColorLabel.h"
#include "widgets/DialogColours.h"
#include "widgets/DialogSetup.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vimo {

CDeletedDlg::CDeletedDlg(QWidget* parent)
    : QDialog(parent, CaptionedDialogFlags)
    , Caption(new CColorLabel(this))
    , List(new QTreeWidget(this))
    , RestoreButton(new QPushButton(tr("&Restore"), this))
    , CloseButton(new QPushButton(tr("Close"), this))
{
    setWindowTitle(tr("Deleted Vimos"));
    UseDialogColours(this);
    Caption->setObjectName(QStringLiteral("Caption"));
    Caption->SetColors(MakeColorRef(216, 208, 200), 0);
    Caption->setMargin(4);
    List->setObjectName(QStringLiteral("DeletedList"));
    List->setAccessibleName(windowTitle());
    List->setHeaderLabels({ tr("From"), tr("Date"), tr("Text"), tr("Deleted") });
    List->setRootIsDecorated(false);
    List->setUniformRowHeights(true);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->header()->setStretchLastSection(false);
    List->header()->setSectionResizeMode(TextColumn, QHeaderView::Stretch);
    for (const Column column : { FromColumn, DateColumn, GoneColumn })
        List->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    RestoreButton->setObjectName(QStringLiteral("RestoreButton"));
    RestoreButton->setAutoDefault(false);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setAutoDefault(false);
    connect(RestoreButton, &QPushButton::clicked, this, &CDeletedDlg::RestoreSelected);
    connect(List, &QTreeWidget::itemActivated, this, &CDeletedDlg::RestoreSelected);
    connect(List, &QTreeWidget::itemSelectionChanged, this,
        [this] { RestoreButton->setEnabled(!List->selectedItems().isEmpty()); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(RestoreButton);
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(Caption);
    layout->addWidget(List, 1);
    layout->addLayout(buttons);
    resize(640, 360);
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
