#include "dialogs/CLoginDlg.h"

#include "dialogs/DataExchange.h"
#include "prompts/Prompts.h"
#include "setup/UserSignIn.h"
#include "store/OfficeTable.h"
#include "store/StoreWorker.h"
#include "store/UserTable.h"
#include "ui_CLoginDlg.h"
#include "widgets/CColorLabel.h"
#include "widgets/CUserListBox.h"
#include "widgets/DialogSetup.h"
#include "widgets/UpperCaseValidator.h"

namespace vimo {

CLoginDlg::CLoginDlg(StoreWorker& worker, QWidget* parent)
    : QDialog(parent, CaptionedDialogFlags)
    , Users(worker)
    , SignIn(new UserSignIn(worker, this))
    , Form(std::make_unique<Ui::CLoginDlg>())
{
    Form->setupUi(this);
    Form->UserNameEdit->setValidator(new UpperCaseValidator(Form->UserNameEdit));
    PrepareFormDialog(this, [this] { OnInitDialog(); });

    connect(Form->ShowListButton, &QPushButton::clicked, Form->UserList, &CUserListBox::ShowPicker);
    connect(Form->UserList, &CUserListBox::Picked, this, &CLoginDlg::TakeSelectedName);
    connect(Form->UserList, &CUserListBox::PickedAndConfirmed, this,
        &CLoginDlg::TakeSelectedNameAndSignIn);
    connect(Form->LoginButton, &QPushButton::clicked, this, &CLoginDlg::accept);
    connect(Form->CancelButton, &QPushButton::clicked, this, &CLoginDlg::reject);
    connect(SignIn, &UserSignIn::RoleKnown, this, &CLoginDlg::ShowRole);
    connect(SignIn, &UserSignIn::Settled, this, &CLoginDlg::ShowVerdict);
}

CLoginDlg::~CLoginDlg() = default;

void CLoginDlg::accept()
{
    OnOK();
}

void CLoginDlg::reject()
{
    OnCancel();
}

bool CLoginDlg::UpdateData(bool save)
{
    DataExchange exchange(save);
    exchange.Text(Form->UserNameEdit, UserName, MaxUserNameLength);
    exchange.Selection(Form->UserList, ListSelection);
    return exchange.Succeeded();
}

void CLoginDlg::OnInitDialog()
{
    SignIn->Start();
    UpdateData(false);
    // A failed read leaves the picker empty; names can still be typed, also while it fills.
    Users.Run([](Store& store) { return UserTable(store).Names(); }, this,
        [this](const StoreResult<QStringList>& names) { Form->UserList->SetNames(names.Value); });
    Users.Run([](Store& store) { return OfficeTable(store).Presence().Value; }, this,
        [this](const PresenceView& view) { Form->UserList->SetPresence(view); });
    Form->NameLabel->SetColors(0, MakeColorRef(192, 192, 255));
    Form->HelpText->SetColors(MakeColorRef(216, 208, 200), 0);
    Form->AboutText->SetColors(MakeColorRef(216, 208, 200), 0);
    Form->UserNameEdit->setFocus(Qt::OtherFocusReason);
}

void CLoginDlg::ShowRole(const QString& boundName)
{
    if (boundName.isEmpty())
        return;
    UserName = boundName;
    Form->UserNameEdit->setReadOnly(true);
    Form->ShowListButton->hide();
    Form->UserList->hide();
    // The usual help speaks of typing a name and of the "?" button: neither is there.
    Form->HelpText->setText(
        tr("The office's server knows you by your database login: you receive and send your "
           "vimo's under the name below. Press Login."));
    UpdateData(false);
}

void CLoginDlg::OnOK()
{
    // A value the box refuses has been reported already; asking the store about it would
    // only end in the same refusal. A bound role is not typed.
    if (SignIn->BoundName().isEmpty() && !UpdateData(true))
        return;
    // The store may take a moment to answer: the pointer says the press was taken.
    setCursor(Qt::BusyCursor);
    SignIn->Login(UserName);
}

void CLoginDlg::ShowVerdict(const SignInVerdict& verdict)
{
    unsetCursor();
    switch (verdict.Step) {
    case SignInVerdict::Next::Refused:
        if (verdict.Failure)
            ShowStoreFailure(*verdict.Failure, verdict.Alert);
        else
            ShowAlert(verdict.Alert);
        return;
    case SignInVerdict::Next::AskToAdd:
        if (AskYesNo(tr("Add new User"))) {
            setCursor(Qt::BusyCursor);
            SignIn->Add(verdict.Name);
            return;
        }
        // Either answer signs in; a "no" only keeps the name out of the pickers.
        break;
    case SignInVerdict::Next::SignedIn:
        if (verdict.Failure)
            ShowFailureAlert(*verdict.Failure);
        break;
    }
    UserName = verdict.Name;
    QDialog::accept();
}

void CLoginDlg::OnCancel()
{
    SignIn->Cancel();
    unsetCursor();
    UserName.clear();
    UpdateData(false);
    QDialog::reject();
}

void CLoginDlg::TakeSelectedName()
{
    UpdateData(true);
    UserName = ListSelection;
    UpdateData(false);
}

void CLoginDlg::TakeSelectedNameAndSignIn()
{
    TakeSelectedName();
    OnOK();
}

} // namespace vimo
