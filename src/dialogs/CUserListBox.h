#pragma once

#include <QListWidget>

namespace vimo {

// A list that fills itself from one SELECT statement: the user pickers of the sign-in and
// compose dialogs (sorted by name, without regard to case) and the tray window's hidden list
// of note keys (in the order the store returns them).
class CUserListBox : public QListWidget {
    Q_OBJECT
    Q_PROPERTY(bool SortedByName READ SortedByName WRITE setSortedByName)

public:
    explicit CUserListBox(QWidget* parent = nullptr);

    // Replaces the items with the first column of every row, trailing blanks and control
    // characters cut; empty values are skipped. Selects the first item without notifying
    // anyone. Returns the number of items added, also kept in ItemCount. A statement that
    // fails leaves the list empty and shows nothing.
    int FillFromQuery(const QString& statement);

    // The number of items the most recent fill added; 0 before the first.
    int ItemCount() const { return ItemCount_; }

    bool SortedByName() const { return SortedByName_; }
    // Named for the .ui form, which calls the setter of a property by Qt's convention.
    void setSortedByName(bool sorted) { SortedByName_ = sorted; }

    // The text of the selected item, or the empty text when none is selected.
    QString SelectedText() const;

    // Selects the first item that begins with the text, without regard to case, and
    // notifies no one. The selection stays as it was when no item matches, and when the
    // selected item is already exactly that text: with "ANN" and "ann" both listed, picking
    // the second must not throw the selection back to the first.
    void SelectStartingWith(const QString& text);

    // Shows the list and gives it the keyboard focus; pressing "?" again does the same.
    void ShowPicker();

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex& index, const QEvent* event) const override;

private:
    void SelectSilently(int row);

    int ItemCount_ = 0;
    bool SortedByName_ = false;
};

} // namespace vimo
