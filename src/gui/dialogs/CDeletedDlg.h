#pragma once

#include "model/LaterNotes.h"

#include <QDialog>
#include <QList>

class QPushButton;
class QTreeWidget;

namespace vimo {

class CColorLabel;

// "Deleted Vimos": the user's notes deleted in the last days, newest first, each of which
// "Restore" brings back onto the screen. It shows the lines it is given and asks for a
// restore; the tray does the rest.
class CDeletedDlg : public QDialog {
    Q_OBJECT

public:
    enum Column : int { FromColumn, DateColumn, TextColumn, GoneColumn };

    explicit CDeletedDlg(QWidget* parent = nullptr);
    ~CDeletedDlg() override;

    void SetRows(const QList<DeletedNote>& rows);

Q_SIGNALS:
    void RestoreRequested(const vimo::DeletedNote& note);

private:
    void RestoreSelected();

    QList<DeletedNote> Rows;
    CColorLabel* const Caption;
    QTreeWidget* const List;
    QPushButton* const RestoreButton;
    QPushButton* const CloseButton;
};

} // namespace vimo
