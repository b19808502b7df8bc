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
// whether it waits, is on screen or was deleted; a note for later until its time, which
// "Take Back" withdraws. It shows the lines it is given and reads
// nothing itself.
class CSentDlg : public QDialog {
    Q_OBJECT

public:
    enum Column : int { ToColumn, DateColumn, TextColumn, StateColumn };

    explicit CSentDlg(QWidget* parent = nullptr);
    ~CSentDlg() override;

    // Newest first, as the store gives them; notes for later that still wait come first.
    void SetRows(const QList<SentNote>& rows);
    // Adds each addressee's presence to their name: "BOB (in)".
    void ShowPresence(const PresenceView& view);

Q_SIGNALS:
    // "Take Back" on a note for later that still waits.
    void TakeBackRequested(qint64 laterId);

private:
    void TakeBackSelected();

    QList<SentNote> Rows;
    CColorLabel* const Caption;
    QTreeWidget* const List;
    QPushButton* const TakeBackButton;
    QPushButton* const CloseButton;
};

} // namespace vimo
