#pragma once

#include <QDialog>
#include <QMap>
#include <QStringList>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace vimo {

class StoreWorker;

// "Groups...": picks a group or names a new one, and ticks its members among the users. Save
// gives the group exactly the ticked members; none removes it. The store's rules stand: in
// the identity mode only a member may change a group.
class CGroupsDlg : public QDialog {
    Q_OBJECT

public:
    explicit CGroupsDlg(StoreWorker& worker, QWidget* parent = nullptr);

private:
    void Load();
    void ShowGroup(const QString& name);
    void OnSave();

    StoreWorker& Worker;
    QStringList Users;
    QMap<QString, QStringList> Groups;
    QListWidget* const GroupList;
    QLineEdit* const NameEdit;
    QListWidget* const MemberList;
    QPushButton* const SaveButton;
};

} // namespace vimo
