#include "dialogs/CGroupsDlg.h"

#include "prompts/Prompts.h"
#include "store/OfficeTable.h"
#include "store/StoreWorker.h"
#include "store/UserTable.h"
#include "widgets/DialogColours.h"
#include "widgets/DialogSetup.h"
#include "widgets/UpperCaseValidator.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace vimo {

CGroupsDlg::CGroupsDlg(StoreWorker& worker, QWidget* parent)
    : QDialog(parent, CaptionedDialogFlags)
    , Worker(worker)
    , GroupList(new QListWidget(this))
    , NameEdit(new QLineEdit(this))
    , MemberList(new QListWidget(this))
    , SaveButton(new QPushButton(tr("&Save"), this))
{
    setWindowTitle(tr("Groups"));
    UseDialogColours(this);
    GroupList->setObjectName(QStringLiteral("GroupList"));
    GroupList->setAccessibleName(tr("Groups"));
    NameEdit->setObjectName(QStringLiteral("GroupNameEdit"));
    NameEdit->setAccessibleName(tr("Group name"));
    NameEdit->setMaxLength(15);
    NameEdit->setValidator(new UpperCaseValidator(NameEdit));
    MemberList->setObjectName(QStringLiteral("MemberList"));
    MemberList->setAccessibleName(tr("Members"));
    SaveButton->setObjectName(QStringLiteral("SaveButton"));
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    close->setAutoDefault(false);

    auto* groupsLabel = new QLabel(tr("&Groups:"), this);
    groupsLabel->setBuddy(GroupList);
    auto* nameLabel = new QLabel(tr("&Name:"), this);
    nameLabel->setBuddy(NameEdit);
    auto* membersLabel = new QLabel(tr("&Members:"), this);
    membersLabel->setBuddy(MemberList);
    // Light on the dialogs' black, as "Send To:" is.
    for (QLabel* label : { groupsLabel, nameLabel, membersLabel }) {
        QPalette colours = label->palette();
        colours.setColor(QPalette::WindowText, QColor(192, 192, 255));
        label->setPalette(colours);
    }
    auto* layout = new QGridLayout(this);
    layout->addWidget(groupsLabel, 0, 0);
    layout->addWidget(GroupList, 1, 0, 3, 1);
    layout->addWidget(nameLabel, 0, 1);
    layout->addWidget(NameEdit, 1, 1);
    layout->addWidget(membersLabel, 2, 1);
    layout->addWidget(MemberList, 3, 1);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(SaveButton, QDialogButtonBox::AcceptRole);
    buttons->addButton(close, QDialogButtonBox::RejectRole);
    layout->addWidget(buttons, 4, 0, 1, 2);
    setTabOrder(GroupList, NameEdit);
    setTabOrder(NameEdit, MemberList);

    connect(GroupList, &QListWidget::currentTextChanged, this, &CGroupsDlg::ShowGroup);
    // A name typed that is a group's shows its members; a new one keeps the ticks to start from.
    connect(NameEdit, &QLineEdit::textEdited, this, [this](const QString& name) {
        if (Groups.contains(name))
            ShowGroup(name);
    });
    connect(SaveButton, &QPushButton::clicked, this, &CGroupsDlg::OnSave);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    resize(420, 300);
    Load();
}

void CGroupsDlg::Load()
{
    Worker.Run(
        [](Store& store) {
            return std::make_pair(UserTable(store).Names().Value, OfficeTable(store).Groups());
        },
        this,
        [this](const std::pair<QStringList, StoreResult<QMap<QString, QStringList>>>& read) {
            Users = read.first;
            Users.sort(Qt::CaseInsensitive);
            Groups = read.second.Value;
            const QString current = NameEdit->text();
            GroupList->clear();
            GroupList->addItems(Groups.keys());
            MemberList->clear();
            for (const QString& user : Users) {
                auto* item = new QListWidgetItem(user, MemberList);
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(Qt::Unchecked);
            }
            ShowGroup(current);
            if (read.second.Failure)
                ShowStoreFailure(*read.second.Failure, tr("the groups cannot be read now."));
        });
}

void CGroupsDlg::ShowGroup(const QString& name)
{
    NameEdit->setText(name);
    const QStringList members = Groups.value(name);
    for (int row = 0; row < MemberList->count(); ++row) {
        QListWidgetItem* item = MemberList->item(row);
        item->setCheckState(members.contains(item->text()) ? Qt::Checked : Qt::Unchecked);
    }
}

void CGroupsDlg::OnSave()
{
    const QString name = NameEdit->text().trimmed();
    QStringList members;
    for (int row = 0; row < MemberList->count(); ++row) {
        if (MemberList->item(row)->checkState() == Qt::Checked)
            members.append(MemberList->item(row)->text());
    }
    if (const QString refusal = GroupChangeRefusal(name, members, Users); !refusal.isEmpty()) {
        ShowAlert(refusal);
        NameEdit->setFocus(Qt::OtherFocusReason);
        return;
    }
    const StoreResult<> saved = Worker.Call(
        [name, members](Store& store) { return OfficeTable(store).SetGroup(name, members); });
    if (saved.Failure) {
        ShowStoreFailure(*saved.Failure, tr("the group was not saved."));
        return;
    }
    Load();
}

} // namespace vimo
