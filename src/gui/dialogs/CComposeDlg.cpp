#include "dialogs/CComposeDlg.h"

#include "model/LaterNotes.h"

#include "dialogs/CNoteTextEdit.h"
#include "dialogs/DataExchange.h"
#include "model/NoteTexts.h"
#include "prompts/Prompts.h"
#include "store/OfficeTable.h"
#include "store/StoreWorker.h"
#include "store/UserTable.h"
#include "ui_CComposeDlg.h"
#include "widgets/CColorLabel.h"
#include "widgets/CUserListBox.h"
#include "widgets/DialogSetup.h"
#include "widgets/UpperCaseValidator.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLocale>
#include <QPalette>
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

CComposeDlg::CComposeDlg(StoreWorker& worker, NotePoster post, QWidget* parent)
    : QDialog(parent, CaptionedDialogFlags)
    , Form(std::make_unique<Ui::CComposeDlg>())
    , Users(worker)
    , Post(std::move(post))
{
    Form->setupUi(this);
    AddLaterRow();
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

void CComposeDlg::AddLaterRow()
{
    // A row of its own below the buttons, in the form's units: the form above stays as it is.
    constexpr int RowHeight = 24;
    const int top = height();
    resize(width(), top + RowHeight);
    LaterBox = new QCheckBox(tr("Send &at"), this);
    LaterBox->setObjectName(QStringLiteral("LaterBox"));
    LaterBox->setGeometry(6, top + 3, 62, 16);
    // Drawn on the dialog's own background, as "Send To:" is.
    QPalette text = LaterBox->palette();
    text.setColor(QPalette::WindowText, QColor(192, 192, 255));
    LaterBox->setPalette(text);
    LaterTime = new QDateTimeEdit(DefaultDue(QDateTime::currentDateTime()), this);
    LaterTime->setObjectName(QStringLiteral("LaterTime"));
    LaterTime->setAccessibleName(tr("Time the note is to come"));
    LaterTime->setCalendarPopup(true);
    LaterTime->setDisplayFormat(
        QLocale().dateFormat(QLocale::ShortFormat) + QStringLiteral(" HH:mm"));
    LaterTime->setGeometry(70, top, 190, 21);
    LaterTime->setEnabled(false);
    connect(LaterBox, &QCheckBox::toggled, LaterTime, &QWidget::setEnabled);
    setTabOrder(Form->RedBox, LaterBox);
    setTabOrder(LaterBox, LaterTime);
}

bool CComposeDlg::UpdateData(bool save)
{
    DataExchange exchange(save);
    exchange.Text(Form->RecipientEdit, RecipientName, MaxRecipientListLength);
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
    Users.Run([](Store& store) { return UserTable(store).Names(); }, this,
        [this](const StoreResult<QStringList>& names) { Form->UserList->SetNames(names.Value); });
    // Groups and who is in, where the store keeps them: the names stay usable meanwhile.
    Users.Run(
        [](Store& store) {
            OfficeTable office(store);
            return std::make_pair(office.Groups().Value.keys(), office.Presence().Value);
        },
        this,
        [this](const std::pair<QStringList, PresenceView>& office) {
            Form->UserList->SetNames(KnownNames(), office.first);
            Form->UserList->SetPresence(office.second);
        });
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

NoteDraft CComposeDlg::Draft() const
{
    return { SplitRecipientNames(RecipientName), NoteText,
        UrgencyCharacter(UrgencyYellow, UrgencyGreen),
        LaterBox->isChecked() ? LaterTime->dateTime().toSecsSinceEpoch() : 0 };
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
    // A value the boxes refuse has been reported already; looking the name up would only end
    // in the same refusal.
    if (!UpdateData(true))
        return;
    const NoteDraft draft = Draft();
    if (LaterBox->isChecked()) {
        if (const std::optional<QString> refused
            = DueRefusal(LaterTime->dateTime(), QDateTime::currentDateTime())) {
            ShowAlert(*refused);
            LaterTime->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    if (const std::optional<SendVerdict> refused = RefusedBeforeStore(draft)) {
        ShowVerdict(*refused);
        return;
    }
    ShowSending(true);
    Users.Run([post = Post, draft](Store& store) { return post(store, draft); }, this,
        [this](const SendVerdict& verdict) {
            ShowSending(false);
            if (!verdict.Reached.isEmpty())
                Q_EMIT NoteStored(verdict.Reached);
            ShowVerdict(verdict);
        });
}

void CComposeDlg::ShowVerdict(const SendVerdict& verdict)
{
    if (verdict.Sent) {
        QDialog::accept();
        if (!verdict.Notice.isEmpty())
            ShowAlert(verdict.Notice);
        return;
    }
    if (!verdict.Left.isEmpty()) {
        RecipientName = verdict.Left.join(QStringLiteral(", "));
        UpdateData(false);
    }
    TellWhyNotSent(verdict);
    if (verdict.BackToNames)
        FocusRecipient(verdict.Name);
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
    if (RecipientName != LastPicked)
        PickedAfter = PickHead(RecipientName, KnownNames());
    RecipientName = WithPickedName(PickedAfter, ListSelection);
    LastPicked = RecipientName;
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
