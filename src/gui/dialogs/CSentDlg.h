#pragma once

#include "model/Receipts.h"

#include <QDialog>
#include <QList>

class QPushButton;
class QTreeWidget;

namespace vimo {

class CColorLabel;
struct PresenceView;

// "Sent Vimos": the user's last notes sent, one line each: to whom, the day, the text, and
// whether it waits, is on screen or was deleted. It shows the lines it is given and reads
// nothing itself.
class CSentDlg : public QDialog {
    Q_OBJECT

public:
    enum Column : int { ToColumn, DateColumn, TextColumn, StateColumn };

    explicit CSentDlg(QWidget* parent = nullptr);
    ~CSentDlg() override;

    // Newest first, as the store gives them.
    void SetRows(const QList<SentNote>& rows);
    // Adds each addressee's presence to their name: "BOB (in)".
    void ShowPresence(const PresenceView& view);

private:
    CColorLabel* const Caption;
    QTreeWidget* const List;
    QPushButton* const CloseButton;
};

} // namespace vimo
