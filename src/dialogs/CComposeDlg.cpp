#include "dialogs/CComposeDlg.h"

#include "dialogs/CNoteTextEdit.h"
#include "dialogs/DataExchange.h"
#include "model/NoteTexts.h"
#include "setup/Prompts.h"
#include "store/Store.h"
#include "store/StoreWorker.h"
#include "ui_CComposeDlg.h"
#include "widgets/CColorLabel.h"
#include "widgets/CUserListBox.h"
#include "widgets/DialogSetup.h"
#include "widgets/UpperCaseValidator.h"

#include <algorithm>

namespace vimo {
namespace {

// The names a pick goes after: the list less its last entry when that is empty or no known
// name yet (the start of one being typed), else the whole list.
QString PickHead(const QString& list, const QStringList& known)
{
    const auto comma = list.lastIndexOf(u',');
    const QString last = list.mid(comma + 1).trimmed();
    const bool keepLast = !last.isEmpty() && known.contains(last, Qt::CaseInsensitive);
    QString head = keepLast ? list : list.left(std::max<qsizetype>(comma, 0));
    while (!head.isEmpty() && (head.back() == u',' || head.back().isSpace()))
        head.chop(1);
    return head;
}

// The head with the picked name after it, unless it names it already.
QString WithPickedName(const QString& head, const QString& name)
{
    if (head.isEmpty())
        return name;
    if (SplitRecipientNames(head).contains(name))
        return head;
    return head + QStringLiteral(", ") + name;
}

} // namespace

// What the worker made of a Send: the first name it could not vouch for and why, or what
// became of the note.
struct CComposeDlg::SendAnswer {
    QString Name;
    StoreResult<bool> Lookup;
    bool AllKnown = false;
    Written Write;
};

CComposeDlg::CComposeDlg(StoreWorker& worker, QWidget* parent)
    : QDialog(parent, CaptionedDialogFlags)
    , Form(std::make_unique<Ui::CComposeDlg>())
    , Users(worker)
{
    Form->setupUi(this);
    PrepareFormDialog(this, [this] { OnInitDialog(); });
    Form->RecipientEdit->setValidator(new UpperCaseValidator(Form->RecipientEdit));

    connect(Form->ShowListButton, &QPushButton::clicked, Form->UserList, &CUserListBox::ShowPicker);
    // "?" again: the next pick adds a name.
    connect(Form->ShowListButton, &QPushButton::clicked, this, [this] { LastPicked.clear(); });
    connect(Form->UserList, &CUserListBox::Picked, this, &CComposeDlg::TakeSelectedName);
    connect(Form->UserList, &CUserListBox::PickedAndConfirmed, this,
        &CComposeDlg::TakeSelectedNameAndGoToText);
    connect(Form->YellowBox, &QCheckBox::clicked, this, [this] { UrgencyClicked(UrgencyYellow); });
    connect(Form->GreenBox, &QCheckBox::clicked, this, [this] { UrgencyClicked(UrgencyGreen); });
    connect(Form->RedBox, &QCheckBox::clicked, this, [this] { UrgencyClicked(UrgencyRed); });
    connect(Form->SendButton, &QPushButton::clicked, this, &CComposeDlg::accept);
    connect(Form->CancelButton, &QPushButton::clicked, this, &CComposeDlg::reject);
}

CComposeDlg::~CComposeDlg() = default;

bool CComposeDlg::UpdateData(bool save)
{
    DataExchange exchange(save);
    exchange.Text(Form->RecipientEdit, RecipientName,
        SeveralRecipients ? MaxRecipientListLength : MaxUserNameLength);
    exchange.Selection(Form->UserList, ListSelection);
    exchange.Text(Form->NoteTextEdit, NoteText, MaxNoteLength);
    exchange.Check(Form->YellowBox, UrgencyYellow);
    exchange.Check(Form->GreenBox, UrgencyGreen);
    exchange.Check(Form->RedBox, UrgencyRed);
    return exchange.Succeeded();
}

void CComposeDlg::accept()
{
    OnOK();
}

void CComposeDlg::reject()
{
    if (!SendingNow)
        QDialog::reject();
}

void CComposeDlg::OnInitDialog()
{
    UpdateData(false);
    Form->SendToLabel->SetColors(0, MakeColorRef(192, 192, 255));
    Form->HelpText->SetColors(MakeColorRef(216, 208, 200), 0);
    Form->UrgencyFrame->SetColors(MakeColorRef(216, 208, 200), 0);
    Form->YellowSwatch->SetColors(MakeColorRef(255, 255, 0), 0);
    Form->GreenSwatch->SetColors(MakeColorRef(0, 255, 0), 0);
    Form->RedSwatch->SetColors(MakeColorRef(255, 0, 0), 0);
    // The picker fills when the store answers; a failed read leaves it empty, and names can
    // still be typed meanwhile.
    Users.Run([](Store& store) { return store.UserNames(); }, this,
        [this](const StoreResult<QStringList>& names) { Form->UserList->SetNames(names.Value); });
    if (StartInText)
        Form->NoteTextEdit->setFocus(Qt::OtherFocusReason);
    else
        Form->RecipientEdit->setFocus(Qt::OtherFocusReason);
}

void CComposeDlg::ReplyTo(const QString& name)
{
    RecipientName = name;
    StartInText = true;
}

QStringList CComposeDlg::NamesToCheck() const
{
    if (SeveralRecipients)
        return SplitRecipientNames(RecipientName);
    // One name, looked up as typed: blanks alone are a name that nobody has.
    return RecipientName.isEmpty() ? QStringList() : QStringList { RecipientName };
}

QStringList CComposeDlg::KnownNames() const
{
    QStringList names;
    for (int row = 0; row < Form->UserList->count(); ++row)
        names.append(Form->UserList->item(row)->text());
    return names;
}

void CComposeDlg::OnOK()
{
    if (SendingNow)
        return;
    Recipients.clear();
    // A value the boxes refuse has been reported already; looking the name up would only end
    // in the same refusal.
    if (!UpdateData(true))
        return;
    const QStringList names = NamesToCheck();
    if (names.isEmpty()) {
        ShowAlert(tr("User name cannot be Empty"));
        FocusRecipient();
        return;
    }
    // The writer reads the values as they are now, Recipients included.
    Recipients = names;
    Writer write = Sending ? Sending() : Writer();
    ShowSending(true);
    // One unknown name stops the whole note. A name longer than the store keeps cannot be
    // anybody's. The names are looked up and the note written in one job, so nothing comes
    // between.
    Users.Run(
        [names, write](Store& store) {
            SendAnswer answer;
            for (const QString& name : names) {
                answer.Name = name;
                answer.Lookup = name.size() > MaxUserNameLength ? StoreResult<bool> { false, {} }
                                                                : store.IsKnownUser(name);
                if (answer.Lookup.Failure || !answer.Lookup.Value)
                    return answer;
            }
            answer.AllKnown = true;
            if (write)
                answer.Write = write(store);
            return answer;
        },
        this, [this](const SendAnswer& answer) { SendDone(answer); });
}

void CComposeDlg::SendDone(const SendAnswer& answer)
{
    ShowSending(false);
    // A lookup that failed says nothing about the name: the user hears why, and the note stays
    // in the dialog to be sent when the store answers again.
    if (!answer.AllKnown) {
        Recipients.clear();
        if (answer.Lookup.Failure) {
            ShowStoreFailure(*answer.Lookup.Failure, tr("the addressee cannot be looked up now."));
        } else {
            ShowAlert(SeveralRecipients ? UnknownUserAlert(answer.Name)
                                        : tr("User name must be Valid\n[Press ? for List]"));
        }
        FocusRecipient(SeveralRecipients ? answer.Name : QString());
        return;
    }
    // A refused note stays as the user left it, to be sent again or cancelled; less the names
    // it has reached, so that nobody gets it twice.
    if (answer.Write.Refusal) {
        const QStringList& reached = answer.Write.Reached;
        QStringList left = Recipients;
        for (const QString& name : reached)
            left.removeAll(name);
        if (!reached.isEmpty()) {
            RecipientName = left.join(QStringLiteral(", "));
            UpdateData(false);
        }
        ShowStoreFailure(*answer.Write.Refusal,
            reached.isEmpty()
                ? tr("the note was not sent.")
                : tr("the note was sent to %1 but not to %2.")
                      .arg(reached.join(QStringLiteral(", ")), left.join(QStringLiteral(", "))));
        return;
    }
    QDialog::accept();
}

void CComposeDlg::ShowSending(bool sending)
{
    SendingNow = sending;
    QPushButton* send = Form->SendButton;
    if (sending)
        SendText = send->text();
    send->setText(sending ? tr("Sending\u2026") : SendText);
    send->setEnabled(!sending);
}

void CComposeDlg::TakeSelectedName()
{
    UpdateData(true);
    if (SeveralRecipients) {
        if (RecipientName != LastPicked)
            PickedAfter = PickHead(RecipientName, KnownNames());
        RecipientName = WithPickedName(PickedAfter, ListSelection);
        LastPicked = RecipientName;
    } else {
        RecipientName = ListSelection;
    }
    UpdateData(false);
}

void CComposeDlg::TakeSelectedNameAndGoToText()
{
    TakeSelectedName();
    LastPicked.clear();
    Form->UserList->hide();
    Form->NoteTextEdit->setFocus(Qt::OtherFocusReason);
}

void CComposeDlg::UrgencyClicked(int& flag)
{
    UpdateData(true);
    if (flag == 1) {
        UrgencyYellow = UrgencyGreen = UrgencyRed = 0;
        flag = 1;
    }
    UpdateData(false);
}

void CComposeDlg::FocusRecipient(const QString& name)
{
    QLineEdit* box = Form->RecipientEdit;
    box->setFocus(Qt::OtherFocusReason);
    const auto at = name.isEmpty() ? -1 : box->text().indexOf(name);
    if (at >= 0)
        box->setSelection(int(at), int(name.size()));
    else
        box->selectAll();
}

} // namespace vimo
