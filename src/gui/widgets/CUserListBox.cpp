#include "widgets/CUserListBox.h"

#include <QSignalBlocker>

#include <algorithm>

namespace vimo {
namespace {

bool ComesBefore(const QString& left, const QString& right)
{
    const int order = left.compare(right, Qt::CaseInsensitive);
    // Names equal but for case still get a fixed order.
    return order != 0 ? order < 0 : left < right;
}

} // namespace

CUserListBox::CUserListBox(QWidget* parent)
    : QListWidget(parent)
{
    connect(this, &QListWidget::itemSelectionChanged, this, &CUserListBox::Picked);
    // A click on the name that is already highlighted does not change the selection, but the
    // user has picked it all the same.
    connect(this, &QListWidget::itemClicked, this, &CUserListBox::Picked);
    connect(this, &QListWidget::itemDoubleClicked, this, &CUserListBox::PickedAndConfirmed);
}

void CUserListBox::SetNames(QStringList names)
{
    {
        const QSignalBlocker quiet(this);
        clear();
    }
    // QListWidget's own sorting is case-sensitive; the pickers are not.
    std::stable_sort(names.begin(), names.end(), ComesBefore);
    addItems(names);
    if (!names.isEmpty())
        SelectSilently(0);
}

QString CUserListBox::SelectedText() const
{
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void CUserListBox::SelectStartingWith(const QString& text)
{
    const QListWidgetItem* current = currentItem();
    if (current && current->isSelected() && current->text() == text)
        return;
    for (int row = 0; row < count(); ++row) {
        if (item(row)->text().startsWith(text, Qt::CaseInsensitive)) {
            SelectSilently(row);
            return;
        }
    }
}

void CUserListBox::ShowPicker()
{
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
}

QItemSelectionModel::SelectionFlags CUserListBox::selectionCommand(
    const QModelIndex& index, const QEvent* event) const
{
    QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    // Ctrl+click would take the only selection away and leave the picker saying nothing;
    // once an item is picked, one stays picked.
    if (selectionMode() == QAbstractItemView::SingleSelection
        && command.testFlag(QItemSelectionModel::Deselect))
        return QItemSelectionModel::NoUpdate;
    return command;
}

void CUserListBox::SelectSilently(int row)
{
    // Only the user's own changes of the selection reach the dialog.
    const QSignalBlocker quiet(this);
    setCurrentRow(row);
}

} // namespace vimo
