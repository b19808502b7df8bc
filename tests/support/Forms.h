#pragma once

#include "TestEnvironment.h"

#include "dialogs/CComposeDlg.h"
#include "dialogs/CLoginDlg.h"
#include "dialogs/CNoteTextEdit.h"
#include "widgets/CUserListBox.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

// The sign-in and compose dialogs with their controls at hand, found by name as a user finds
// them by sight. The dialog is the test's own, on TestWorker(), or one a modal run has opened.
namespace vimo::test {

template <typename DialogType> struct FormOf {
    FormOf()
        : Owned(std::make_unique<DialogType>(TestWorker()))
        , Dialog(Owned.get())
    {
    }
    explicit FormOf(DialogType* dialog)
        : Dialog(dialog)
    {
    }

    template <typename Control> Control* Find(const char* name) const
    {
        return Dialog->template findChild<Control*>(QLatin1String(name));
    }

    // Shows the dialog and waits until the box where typing starts has the keyboard.
    bool OpenWithFocusIn(QWidget* box)
    {
        Dialog->show();
        // With the picker filled from the store.
        return QTest::qWaitForWindowActive(Dialog) && Settled() && box->hasFocus();
    }

    bool Accepted() const { return !Dialog->isVisible() && Dialog->result() == QDialog::Accepted; }

    std::unique_ptr<DialogType> Owned;
    DialogType* Dialog;
};

struct SignInForm : FormOf<CLoginDlg> {
    using FormOf::FormOf;

    bool Open() { return OpenWithFocusIn(Name); }
    // Once the store has answered the Login.
    bool SignedIn() const { return Settled() && Accepted(); }
    // Types into the name box and presses Login.
    void LogInAs(const QString& typed)
    {
        QTest::keyClicks(Name, typed);
        Login->click();
    }

    QLineEdit* Name = Find<QLineEdit>("UserNameEdit");
    QPushButton* ShowList = Find<QPushButton>("ShowListButton");
    QPushButton* Login = Find<QPushButton>("LoginButton");
    QPushButton* Cancel = Find<QPushButton>("CancelButton");
    CUserListBox* List = Find<CUserListBox>("UserList");
};

struct ComposeForm : FormOf<CComposeDlg> {
    using FormOf::FormOf;
    // The test's own dialog, whose notes come from ALF.
    ComposeForm()
        : FormOf(new CComposeDlg(TestWorker(), [](Store& store, const NoteDraft& draft) {
            return SendNote(store, QStringLiteral("ALF"), draft);
        }))
    {
        Owned.reset(Dialog);
    }

    bool Open() { return OpenWithFocusIn(Recipient); }
    // Once the store has answered the Send.
    bool Sent() const { return Settled() && Accepted(); }
    // What the notes sent hold, in the order stored: "RECIPIENT|MSG|URGENCY" by default.
    static QStringList Stored(
        const char* columns = "RECIPIENT||'|'||COALESCE(MSG,'')||'|'||URGENCY")
    {
        return ColumnValues(
            QStringLiteral("SELECT %1 FROM MSGS ORDER BY TKEY").arg(QLatin1String(columns)));
    }
    // The urgency boxes as the user sees them: "100" for yellow alone.
    QString Urgency() const
    {
        return QStringLiteral("%1%2%3")
            .arg(int(Yellow->isChecked()))
            .arg(int(Green->isChecked()))
            .arg(int(Red->isChecked()));
    }

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

// The three ways to cancel a dialog, as rows of a data-driven test with a column "way".
inline void CancelWays()
{
    QTest::addColumn<int>("way");
    QTest::addRow("Cancel button") << 0;
    QTest::addRow("Esc") << 1;
    QTest::addRow("close box") << 2;
}

// Cancels the dialog the way a row of CancelWays names; Esc is pressed in the box.
inline void CancelBy(int way, QDialog* dialog, QPushButton* cancel, QWidget* box)
{
    switch (way) {
    case 0:
        cancel->click();
        break;
    case 1:
        QTest::keyClick(box, Qt::Key_Escape);
        break;
    default:
        dialog->close();
    }
}

} // namespace vimo::test
