#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class CLoginDlg;
}

namespace vimo {

class StoreWorker;
class UserSignIn;
struct SignInVerdict;

// Asks for the name under which this copy receives and sends notes. A name not yet known
// to the store is added when the user agrees; the known names are offered in a picker, filled
// when the store answers. UserSignIn checks the name on the store's worker, and the dialog
// shows what it answers. Where the store binds the connected role to its rows, that role is
// the name: shown, the only one offered, and added without a question.
// After the run UserName holds the signed-in name, or the empty text after a cancel.
class CLoginDlg : public QDialog {
    Q_OBJECT

public:
    explicit CLoginDlg(StoreWorker& worker, QWidget* parent = nullptr);
    ~CLoginDlg() override;

    QString UserName;

    // "Login", Enter in the picker, or a double-click in it.
    void accept() override;
    // "Cancel", Esc or the close box.
    void reject() override;

private:
    // Moves the values between the controls and the members, every binding at once: save
    // (controls to members) or load. False when a save refused a value, after saying why.
    bool UpdateData(bool save);
    void OnInitDialog();
    void OnOK();
    void OnCancel();
    void ShowRole(const QString& boundName);
    void ShowVerdict(const SignInVerdict& verdict);
    void TakeSelectedName();
    void TakeSelectedNameAndSignIn();

    // The picker's selected name; empty when none is selected.
    QString ListSelection;
    StoreWorker& Users;
    UserSignIn* SignIn;
    std::unique_ptr<Ui::CLoginDlg> Form;
};

} // namespace vimo
