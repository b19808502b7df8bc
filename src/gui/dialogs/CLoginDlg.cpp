#include "dialogs/CLoginDlg.h"

#include "dialogs/DataExchange.h"
#include "model/NoteTexts.h"
#include "model/TextRules.h"
#include "prompts/Prompts.h"
#include "store/OfficeTable.h"
#include "store/Store.h"
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
    BoundName = Users.Call([](Store& store) { return store.BoundRole(); });
    if (!BoundName.isEmpty()) {
        UserName = BoundName;
        Form->UserNameEdit->setReadOnly(true);
        Form->ShowListButton->hide();
        // The usual help speaks of typing a name and of the "?" button: neither is there.
        Form->HelpText->setText(
            tr("The office's server knows you by your database login: you receive and send your "
               "vimo's under the name below. Press Login."));
    }
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

void CLoginDlg::OnOK()
{
    if (!BoundName.isEmpty()) {
        SignInAsBoundRole();
        return;
    }
    // A value the box refuses has been reported already; asking the store about it would
    // only end in the same refusal.
    if (!UpdateData(true))
        return;
    // The statements cut trailing blanks, so a name of blanks only would sign in as nobody.
    if (CutTrailingWhiteSpace(UserName).isEmpty()) {
        ShowAlert(tr("There must be a User name"));
        return;
    }
    if (const QString unseen = UnseenNameAlert(UserName); !unseen.isEmpty()) {
        ShowAlert(unseen);
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
        // A note to a group's name goes to its members: nobody can be named so.
        const QString name = CutTrailingWhiteSpace(UserName);
        if (name == EveryoneGroup
            || Users.Call([](Store& store) { return OfficeTable(store).Groups().Value; })
                   .contains(name)) {
            ShowAlert(tr("%1 is the name of a group; choose another user name.").arg(name));
            return;
        }
        if (AskYesNo(tr("Add new User")))
            SucceededOrAlert(
                Users.Call([name = UserName](Store& store) { return UserTable(store).Add(name); }));
        // Either answer signs in; a "no" only keeps the name out of the pickers.
    }
    if (UpdateData(true))
        QDialog::accept();
}

void CLoginDlg::SignInAsBoundRole()
{
    // Others could never write to a name the pickers and the store do not take as it is.
    if (BoundName.size() > MaxUserNameLength || BoundName != BoundName.toUpper()) {
        ShowAlert(tr("The database role %1 cannot be a Vimo name: a name has at most 15 "
                     "characters and no small letters. Ask the administrator for a role named "
                     "as your colleagues write to you.")
                      .arg(BoundName));
        return;
    }
    if (const QString unseen = UnseenNameAlert(BoundName); !unseen.isEmpty()) {
        ShowAlert(unseen);
        return;
    }
    // Without every grant the tray would stay empty, or fail at the first note, for no reason
    // the user could see.
    const StoreResult<QStringList> missing
        = Users.Call([](Store& store) { return store.MissingGrants(); });
    if (missing.Failure) {
        ShowStoreFailure(*missing.Failure, tr("the user name cannot be looked up now."));
        return;
    }
    if (!missing.Value.isEmpty()) {
        const QString role = QLatin1Char('"')
            + QString(BoundName).replace(QStringLiteral("\""), QStringLiteral("\"\""))
            + QLatin1Char('"');
        ShowAlert(tr("The database role %1 lacks %2.\nThe administrator must grant it: GRANT "
                     "vimo_users TO %3")
                      .arg(BoundName, missing.Value.join(QStringLiteral(", ")), role));
        return;
    }
    const StoreResult<bool> known
        = Users.Call([name = BoundName](Store& store) { return UserTable(store).IsKnown(name); });
    if (known.Failure) {
        ShowStoreFailure(*known.Failure, tr("the user name cannot be looked up now."));
        return;
    }
    if (!known.Value)
        SucceededOrAlert(
            Users.Call([name = BoundName](Store& store) { return UserTable(store).Add(name); }));
    UserName = BoundName;
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
