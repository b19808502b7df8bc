#pragma once

#include "store/StoreResult.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class CComposeDlg;
}

namespace vimo {

class Store;
class StoreWorker;

// Collects one note: its addressee, its text and its urgency. The dialog writes only through
// Sending; it ends with Accepted only when the addressee is a known user and the note, if
// there is a writer, is stored. While the store works on it the dialog stays open and says
// so; a refusal leaves it as the user left it. Afterwards RecipientName holds that name (at
// most 15 characters), NoteText the text as the store keeps it (at most 250 characters, each
// line break CR LF, possibly empty), and at most one of the urgency flags is 1, possibly
// none. Recipients holds the names the note goes to.
class CComposeDlg : public QDialog {
    Q_OBJECT

public:
    // The longest "Send To" list when several names are allowed.
    static constexpr int MaxRecipientListLength = 250;

    explicit CComposeDlg(StoreWorker& worker, QWidget* parent = nullptr);
    ~CComposeDlg() override;

    // Call before the run: the dialog opens with this name in "Send To" and the keyboard in
    // the text box, ready to answer a note.
    void ReplyTo(const QString& name);

    // "Send To" takes several names separated by commas, each checked as one name is, and
    // the picker adds the picked name to the list. Off, the box takes one name of at most 15
    // characters.
    bool SeveralRecipients = false;

    QString RecipientName;
    QString NoteText;
    int UrgencyYellow = 0;
    int UrgencyGreen = 0;
    int UrgencyRed = 0;
    // After Send: every name of RecipientName, each a known user, each once.
    QStringList Recipients;

    // What a writer did: the refusal that kept the note out, or none, and the names it reached
    // before that refusal (the next Send goes only to the others).
    struct Written {
        std::optional<StoreFailure> Refusal;
        QStringList Reached;
    };
    // Writes the note on the store's thread.
    using Writer = std::function<Written(Store&)>;
    // Makes the writer from the values as Send saved them; without one Send ends the run as
    // soon as the names are known.
    std::function<Writer()> Sending;

    // "Send", or Enter in the picker.
    void accept() override;
    // Nothing while the note is on its way: the user learns whether it arrived.
    void reject() override;

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
    // Gives the recipient box the focus with its text selected, ready to be typed over; with
    // a name given, only that name is selected.
    void FocusRecipient(const QString& name = QString());
    // The names of RecipientName that Send checks; they are in Recipients only when all pass.
    QStringList NamesToCheck() const;
    QStringList KnownNames() const;
    struct SendAnswer;
    void SendDone(const SendAnswer& answer);
    void ShowSending(bool sending);

    // The picker's selected name; empty when none is selected.
    QString ListSelection;
    // The recipient box as the last pick left it, and the names that pick went after. While
    // the box stays so, the next pick replaces the picked name rather than adding one: moving
    // through the picker does not collect names.
    QString LastPicked;
    QString PickedAfter;
    bool StartInText = false;
    bool SendingNow = false;
    QString SendText;
    std::unique_ptr<Ui::CComposeDlg> Form;
    StoreWorker& Users;
};

} // namespace vimo
