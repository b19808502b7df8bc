#include "dialogs/CSentDlg.h"

#include "model/DateStamp.h"
#include "model/NoteTexts.h"
#include "model/Presence.h"
#include "widgets/CColorLabel.h"
#include "widgets/DialogSetup.h"

#include <QPushButton>
#include <QTreeWidget>

namespace vimo {
CSentDlg::CSentDlg(QWidget* parent)
    : QDialog(parent, CaptionedDialogFlags)
    , Caption(new CColorLabel(this))
    , List(new QTreeWidget(this))
    , TakeBackButton(new QPushButton(tr("Take &Back"), this))
    , CloseButton(new QPushButton(tr("Close"), this))
{
    List->setObjectName(QStringLiteral("SentList"));
    TakeBackButton->setObjectName(QStringLiteral("TakeBackButton"));
    PrepareListDialog(this, tr("Sent Vimos"), Caption, List,
        { tr("To"), tr("Date"), tr("Text"), tr("Status") }, TextColumn, TakeBackButton,
        CloseButton);
    connect(TakeBackButton, &QPushButton::clicked, this, &CSentDlg::TakeBackSelected);
    // Only a note for later can be chosen, to be taken back.
    connect(List, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = List->selectedItems();
        const int row = selected.isEmpty() ? -1 : List->indexOfTopLevelItem(selected.first());
        TakeBackButton->setEnabled(row >= 0 && row < Rows.size() && Rows[row].LaterId != 0);
    });
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
