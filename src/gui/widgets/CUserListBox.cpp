#include "widgets/CUserListBox.h"

#include "model/Presence.h"
#include "model/TextRules.h"

#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include <algorithm>

namespace vimo {
namespace {

bool ComesBefore(const QString& left, const QString& right)
{
    const int order = left.compare(right, Qt::CaseInsensitive);
    // Names equal but for case still get a fixed order.
    return order != 0 ? order < 0 : left < right;
}

// Beside the name, greyed: a user's presence, or that the entry is a group.
constexpr int LabelRole = Qt::UserRole + 1;
constexpr int GroupRole = Qt::UserRole + 2;

class LabelDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QString label = index.data(LabelRole).toString();
        if (label.isEmpty())
            return;
        painter->save();
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        painter->setPen(
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
        QFont small = option.font;
        small.setPointSizeF(small.pointSizeF() * 0.85);
        painter->setFont(small);
        painter->drawText(
            option.rect.adjusted(0, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter, label);
        painter->restore();
    }
};

void SetLabel(QListWidgetItem* item, const QString& label)
{
    item->setData(LabelRole, label);
    // A screen reader hears the name and what stands beside it.
    item->setData(Qt::AccessibleTextRole,
        label.isEmpty() ? item->text() : item->text() + QStringLiteral(", ") + label);
}

} // namespace

CUserListBox::CUserListBox(QWidget* parent)
    : QListWidget(parent)
{
    setItemDelegate(new LabelDelegate(this));
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
    // A name planted with characters nobody sees would look like a colleague's.
    for (QString& name : names)
        name = SeenName(name);
    // QListWidget's own sorting is case-sensitive; the pickers are not.
    std::stable_sort(names.begin(), names.end(), ComesBefore);
    addItems(names);
    if (!names.isEmpty())
        SelectSilently(0);
}

void CUserListBox::SetNames(QStringList names, QStringList groups)
{
    groups.removeAll(QString::fromUtf16(EveryoneGroup));
    std::stable_sort(groups.begin(), groups.end(), ComesBefore);
    groups.prepend(QString::fromUtf16(EveryoneGroup));
    const QString selected = SelectedText();
    SetNames(std::move(names));
    if (!selected.isEmpty())
        SelectStartingWith(selected);
    QFont font = this->font();
    font.setItalic(true);
    for (const QString& group : groups) {
        // A user of that name (an older store) is the one a note reaches.
        if (!findItems(group, Qt::MatchExactly).isEmpty())
            continue;
        auto* item = new QListWidgetItem(group, this);
        item->setFont(font);
        item->setData(GroupRole, true);
        SetLabel(item, tr("group"));
    }
}

void CUserListBox::SetPresence(const PresenceView& view)
{
    for (int row = 0; row < count(); ++row) {
        QListWidgetItem* entry = item(row);
        if (!entry->data(GroupRole).toBool())
            SetLabel(entry, PresenceLabel(view, entry->text()));
    }
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
