#include "dialogs/CComposeDlg.h"

#include "dialogs/CNoteTextEdit.h"
#include "dialogs/DataExchange.h"
#include "store/Prompts.h"
#include "store/Store.h"
#include "ui_CComposeDlg.h"
#include "widgets/CColorLabel.h"
#include "widgets/CUserListBox.h"
#include "widgets/DialogSetup.h"
#include "widgets/UpperCaseValidator.h"

namespace vimo {

CComposeDlg::CComposeDlg(Store& store, QWidget* parent)
    : QDialog(parent, CaptionedDialogFlags)
    , Form(std::make_unique<Ui::CComposeDlg>())
    , Users(store)
{
    Form->setupUi(this);
    PrepareFormDialog(this, [this] { OnInitDialog(); });
    Form->RecipientEdit->setValidator(new UpperCaseValidator(Form->RecipientEdit));

    connect(Form->ShowListButton, &QPushButton::clicked, Form->UserList, &CUserListBox::ShowPicker);
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
    exchange.Text(Form->RecipientEdit, RecipientName, MaxUserNameLength);
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

void CComposeDlg::OnInitDialog()
{
    UpdateData(false);
    Form->SendToLabel->SetColors(0, MakeColorRef(192, 192, 255));
    Form->HelpText->SetColors(MakeColorRef(216, 208, 200), 0);
    Form->UrgencyFrame->SetColors(MakeColorRef(216, 208, 200), 0);
    Form->YellowSwatch->SetColors(MakeColorRef(255, 255, 0), 0);
    Form->GreenSwatch->SetColors(MakeColorRef(0, 255, 0), 0);
    Form->RedSwatch->SetColors(MakeColorRef(255, 0, 0), 0);
    // A failed read leaves the picker empty; names can still be typed.
    Form->UserList->SetNames(Users.UserNames().Value);
    Form->RecipientEdit->setFocus(Qt::OtherFocusReason);
}

void CComposeDlg::OnOK()
{
    // A value the boxes refuse has been reported already; looking the name up would only end
    // in the same refusal.
    if (!UpdateData(true))
        return;
    if (RecipientName.isEmpty()) {
        ShowAlert(QStringLiteral("User name cannot be Empty"));
        FocusRecipient();
        return;
    }
    // A lookup that failed says nothing about the name: the user hears why, and the note
    // stays in the dialog to be sent when the store answers again.
    const StoreResult<bool> known = Users.IsKnownUser(RecipientName);
    if (known.Failure) {
        ShowStoreFailure(*known.Failure, QStringLiteral("the addressee cannot be looked up now."));
        FocusRecipient();
        return;
    }
    if (!known.Value) {
        ShowAlert(QStringLiteral("User name must be Valid\n[Press ? for List]"));
        FocusRecipient();
        return;
    }
    if (UpdateData(true))
        QDialog::accept();
}

void CComposeDlg::TakeSelectedName()
{
    UpdateData(true);
    RecipientName = ListSelection;
    UpdateData(false);
}

void CComposeDlg::TakeSelectedNameAndGoToText()
{
    TakeSelectedName();
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

void CComposeDlg::FocusRecipient()
{
    Form->RecipientEdit->setFocus(Qt::OtherFocusReason);
    Form->RecipientEdit->selectAll();
}

} // namespace vimo
