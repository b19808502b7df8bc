#pragma once

#include "dialogs/CComposeDlg.h"
#include "dialogs/CLoginDlg.h"
#include "dialogs/CNoteTextEdit.h"
#include "widgets/CUserListBox.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// The sign-in and compose dialogs with their controls at hand, found by name as a user finds
// them by sight. The dialog is the test's own or one a modal run has just opened.
namespace vimo::test {

struct SignInForm {
    explicit SignInForm(CLoginDlg* dialog)
        : Dialog(dialog)
    {
    }

    template <typename Control> Control* Find(const char* name) const
    {
        return Dialog->findChild<Control*>(QLatin1String(name));
    }

    // Shows the dialog and waits until the name box has the keyboard.
    bool Open()
    {
        Dialog->show();
        return QTest::qWaitForWindowActive(Dialog) && Name->hasFocus();
    }

    bool SignedIn() const { return !Dialog->isVisible() && Dialog->result() == QDialog::Accepted; }

    CLoginDlg* Dialog;
    QLineEdit* Name = Find<QLineEdit>("UserNameEdit");
    QPushButton* ShowList = Find<QPushButton>("ShowListButton");
    QPushButton* Login = Find<QPushButton>("LoginButton");
    QPushButton* Cancel = Find<QPushButton>("CancelButton");
    CUserListBox* List = Find<CUserListBox>("UserList");
};

struct ComposeForm {
    explicit ComposeForm(CComposeDlg* dialog)
        : Dialog(dialog)
    {
    }

    template <typename Control> Control* Find(const char* name) const
    {
        return Dialog->findChild<Control*>(QLatin1String(name));
    }

    // Shows the dialog and waits until the addressee box has the keyboard.
    bool Open()
    {
        Dialog->show();
        return QTest::qWaitForWindowActive(Dialog) && Recipient->hasFocus();
    }

    bool Sent() const { return !Dialog->isVisible() && Dialog->result() == QDialog::Accepted; }

    // The urgency boxes as the user sees them: "100" for yellow alone.
    QString Urgency() const
    {
        return QStringLiteral("%1%2%3")
            .arg(int(Yellow->isChecked()))
            .arg(int(Green->isChecked()))
            .arg(int(Red->isChecked()));
    }

    CComposeDlg* Dialog;
    QLineEdit* Recipient = Find<QLineEdit>("RecipientEdit");
    CNoteTextEdit* Text = Find<CNoteTextEdit>("NoteTextEdit");
    QPushButton* Send = Find<QPushButton>("SendButton");
    QPushButton* Cancel = Find<QPushButton>("CancelButton");
    QPushButton* ShowList = Find<QPushButton>("ShowListButton");
    CUserListBox* List = Find<CUserListBox>("UserList");
    QCheckBox* Yellow = Find<QCheckBox>("YellowBox");
    QCheckBox* Green = Find<QCheckBox>("GreenBox");
    QCheckBox* Red = Find<QCheckBox>("RedBox");
};

} // namespace vimo::test
