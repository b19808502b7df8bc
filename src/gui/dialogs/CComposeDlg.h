#pragma once

#include "delivery/NotePosting.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <memory>

class QCheckBox;
class QDateTimeEdit;

namespace Ui {
class CComposeDlg;
}

namespace vimo {

class StoreWorker;

// Collects one note: its addressees, its text and its urgency. "Send To" takes several names
// separated by commas, each checked as one name is, and the picker adds the picked name to the
// list. Send hands what the user wrote to
// the poster, on the store's thread, and shows its verdict: the run ends with Accepted once the
// note has gone. While the store works on it the dialog stays open and says so; a refusal
// leaves it as the user left it, less the names the note has reached.
class CComposeDlg : public QDialog {
    Q_OBJECT

public:
    // The longest "Send To" list.
    static constexpr int MaxRecipientListLength = 250;

    CComposeDlg(StoreWorker& worker, NotePoster post, QWidget* parent = nullptr);
    ~CComposeDlg() override;

    // Call before the run: the dialog opens with this name in "Send To" and the keyboard in
    // the text box, ready to answer a note.
    void ReplyTo(const QString& name);

    // "Send", or Enter in the picker.
    void accept() override;
    // Nothing while the note is on its way: the user learns whether it arrived.
    void reject() override;

Q_SIGNALS:
    // The note is in the store for these names, also when a later one refused it.
    void NoteStored(const QStringList& recipients);

private:
    // Moves the values between the controls and the members, every binding at once: save
    // (controls to members) or load. False when a save refused a value, after saying why.
    bool UpdateData(bool save);
    // "Send at" and its time: the note waits for that moment, for every name.
    void AddLaterRow();
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
    // What the user wrote, as the last save left the members.
    NoteDraft Draft() const;
    QStringList KnownNames() const;
    void ShowVerdict(const SendVerdict& verdict);
    void ShowSending(bool sending);

    QString RecipientName;
    // The picker's selected name; empty when none is selected.
    QString ListSelection;
    QString NoteText;
    int UrgencyYellow = 0;
    int UrgencyGreen = 0;
    int UrgencyRed = 0;
    // The recipient box as the last pick left it, and the names that pick went after. While
    // the box stays so, the next pick replaces the picked name rather than adding one: moving
    // through the picker does not collect names.
    QString LastPicked;
    QString PickedAfter;
    bool StartInText = false;
    bool SendingNow = false;
    QString SendText;
    std::unique_ptr<Ui::CComposeDlg> Form;
    QCheckBox* LaterBox = nullptr;
    QDateTimeEdit* LaterTime = nullptr;
    StoreWorker& Users;
    const NotePoster Post;
};

} // namespace vimo
