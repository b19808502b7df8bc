#pragma once

#include <QListWidget>

namespace vimo {

struct PresenceView;

// The user picker of the sign-in and compose dialogs: the known names, sorted without regard
// to case, one of them picked.
class CUserListBox : public QListWidget {
    Q_OBJECT

public:
    explicit CUserListBox(QWidget* parent = nullptr);

    // Replaces the items with the names, sorted, and selects the first without notifying
    // anyone.
    void SetNames(QStringList names);
    // The same, with the groups after the users, apart from them and marked as groups.
    void SetNames(QStringList names, QStringList groups);
    // Shows each user's presence beside their name, "in", "away" or "last in ...".
    void SetPresence(const PresenceView& view);

    // The text of the selected item, or the empty text when none is selected.
    QString SelectedText() const;

    // Selects the first item that begins with the text, without regard to case, and
    // notifies no one. The selection stays as it was when no item matches, and when the
    // selected item is already exactly that text: with "ANN" and "ann" both listed, picking
    // the second must not throw the selection back to the first.
    void SelectStartingWith(const QString& text);

    // Shows the list and gives it the keyboard focus; pressing "?" again does the same.
    void ShowPicker();

Q_SIGNALS:
    // The user picked a name: moved the selection, or clicked a name, also the one that was
    // highlighted already.
    void Picked();
    // The user double-clicked a name: picked, and done picking.
    void PickedAndConfirmed();

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex& index, const QEvent* event) const override;

private:
    void SelectSilently(int row);
};

} // namespace vimo
