#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class CComposeDlg;
}

namespace vimo {

class Store;

// Collects one note: its addressee, its text and its urgency. The dialog writes nothing to
// the store; it ends with Accepted only when the addressee is a known user. Afterwards
// RecipientName holds that name (at most 15 characters), NoteText the text as the store keeps
// it (at most 250 characters, each line break CR LF, possibly empty), and at most one of the
// urgency flags is 1, possibly none.
class CComposeDlg : public QDialog {
    Q_OBJECT

public:
    explicit CComposeDlg(Store& store, QWidget* parent = nullptr);
    ~CComposeDlg() override;

    QString RecipientName;
    QString NoteText;
    int UrgencyYellow = 0;
    int UrgencyGreen = 0;
    int UrgencyRed = 0;

    // "Send", or Enter in the picker.
    void accept() override;

private:
    // Moves the values between the controls and the members, every binding at once: save
    // (controls to members) or load. False when a save refused a value, after saying why.
    bool UpdateData(bool save);
    void OnInitDialog();
    void OnOK();
    void TakeSelectedName();
    void TakeSelectedNameAndGoToText();
    // The box of this flag has just toggled itself: the three behave like radio buttons that
    // can all be off.
    void UrgencyClicked(int& flag);
    // Gives the recipient box the focus with its text selected, ready to be typed over.
    void FocusRecipient();

    // The picker's selected name; empty when none is selected.
    QString ListSelection;
    std::unique_ptr<Ui::CComposeDlg> Form;
    Store& Users;
};

} // namespace vimo
