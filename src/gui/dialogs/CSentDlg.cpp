#include "dialogs/CSentDlg.h"

#include "model/DateStamp.h"
#include "model/NoteTexts.h"
#include "model/Presence.h"
#include "widgets/CColorLabel.h"
#include "widgets/DialogColours.h"
#include "widgets/DialogSetup.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vimo {
CSentDlg::CSentDlg(QWidget* parent)
    : QDialog(parent, CaptionedDialogFlags)
    , Caption(new CColorLabel(this))
    , List(new QTreeWidget(this))
    , TakeBackButton(new QPushButton(tr("Take &Back"), this))
    , CloseButton(new QPushButton(tr("Close"), this))
{
    setWindowTitle(tr("Sent Vimos"));
    UseDialogColours(this);
    Caption->setObjectName(QStringLiteral("Caption"));
    Caption->SetColors(MakeColorRef(216, 208, 200), 0);
    Caption->setMargin(4);
    List->setObjectName(QStringLiteral("SentList"));
    List->setAccessibleName(windowTitle());
    List->setHeaderLabels({ tr("To"), tr("Date"), tr("Text"), tr("Status") });
    List->setRootIsDecorated(false);
    List->setUniformRowHeights(true);
    // Only a note for later can be chosen, to be taken back.
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->header()->setStretchLastSection(false);
    List->header()->setSectionResizeMode(TextColumn, QHeaderView::Stretch);
    for (const Column column : { ToColumn, DateColumn, StateColumn })
        List->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setAutoDefault(false);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    TakeBackButton->setObjectName(QStringLiteral("TakeBackButton"));
    TakeBackButton->setAutoDefault(false);
    connect(TakeBackButton, &QPushButton::clicked, this, &CSentDlg::TakeBackSelected);
    connect(List, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = List->selectedItems();
        const int row = selected.isEmpty() ? -1 : List->indexOfTopLevelItem(selected.first());
        TakeBackButton->setEnabled(row >= 0 && row < Rows.size() && Rows[row].LaterId != 0);
    });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(TakeBackButton);
    buttons->addWidget(CloseButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(Caption);
    layout->addWidget(List, 1);
    layout->addLayout(buttons);
    resize(640, 360);
    SetRows({});
}

CSentDlg::~CSentDlg() = default;

void CSentDlg::SetRows(const QList<SentNote>& rows)
{
    Rows = rows;
    TakeBackButton->setEnabled(false);
    if (rows.isEmpty())
        Caption->setText(tr("You have sent no Vimos yet."));
    else if (rows.size() == 1)
        Caption->setText(tr("Your last Vimo."));
    else
        Caption->setText(tr("Your last %1 Vimos, newest first.").arg(rows.size()));
    List->clear();
    for (const SentNote& row : rows) {
        const QDate day = StampDate(row.DateStamp);
        auto* item = new QTreeWidgetItem(List,
            { ShownLine(row.Recipient, ShownNameLength), day.isValid() ? DayText(day) : QString(),
                ShownLine(row.Text, ShownNoteLength), ReceiptStateText(row) });
        item->setToolTip(TextColumn, PlainTip(row.Text, ShownNoteLength));
    }
}

void CSentDlg::ShowPresence(const PresenceView& view)
{
    for (int row = 0; row < List->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = List->topLevelItem(row);
        // The name as SetRows wrote it; a second call finds its label there already.
        const QString name = item->data(ToColumn, Qt::UserRole).toString().isEmpty()
            ? item->text(ToColumn)
            : item->data(ToColumn, Qt::UserRole).toString();
        item->setData(ToColumn, Qt::UserRole, name);
        const QString label = PresenceLabel(view, name);
        item->setText(
            ToColumn, label.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, label));
    }
}

void CSentDlg::TakeBackSelected()
{
    const QList<QTreeWidgetItem*> selected = List->selectedItems();
    const int row = selected.isEmpty() ? -1 : List->indexOfTopLevelItem(selected.first());
    if (row >= 0 && row < Rows.size() && Rows[row].LaterId != 0)
        Q_EMIT TakeBackRequested(Rows[row].LaterId);
}

} // namespace vimo
