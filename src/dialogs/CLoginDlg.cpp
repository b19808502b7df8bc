#include "dialogs/CLoginDlg.h"

#include "dialogs/DataExchange.h"
#include "model/TextRules.h"
#include "setup/Prompts.h"
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
    UpdateData(false);
    // A failed read leaves the picker empty; names can still be typed, also while it fills.
    Users.Run([](Store& store) { return UserTable(store).Names(); }, this,
        [this](const StoreResult<QStringList>& names) { Form->UserList->SetNames(names.Value); });
    Form->NameLabel->SetColors(0, MakeColorRef(192, 192, 255));
    Form->HelpText->SetColors(MakeColorRef(216, 208, 200), 0);
    Form->AboutText->SetColors(MakeColorRef(216, 208, 200), 0);
    Form->UserNameEdit->setFocus(Qt::OtherFocusReason);
}

void CLoginDlg::OnOK()
{
    // A value the box refuses has been reported already; asking the store about it would
    // only end in the same refusal.
    if (!UpdateData(true))
        return;
    // The statements cut trailing blanks, so a name of blanks only would sign in as nobody.
    if (CutTrailingWhiteSpace(UserName).isEmpty()) {
        ShowAlert(tr("There must be a User name"));
        return;
    }
    // A lookup that failed says nothing about the name: no question about adding it.
    const StoreResult<bool> known
        = Users.Call([name = UserName](Store& store) { return UserTable(store).IsKnown(name); });
    if (known.Failure) {
        ShowStoreFailure(*known.Failure, tr("the user name cannot be looked up now."));
        return;
    }
    if (!known.Value) {
        if (AskYesNo(tr("Add new User")))
            SucceededOrAlert(
                Users.Call([name = UserName](Store& store) { return UserTable(store).Add(name); }));
        // Either answer signs in; a "no" only keeps the name out of the pickers.
    }
    if (UpdateData(true))
        QDialog::accept();
}

void CLoginDlg::OnCancel()
{
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
