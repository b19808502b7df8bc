#include "TestEnvironment.h"

#include "widgets/CUserListBox.h"
#include "widgets/EnterAsTab.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>

#include <functional>
#include <memory>

using namespace vimo;

Q_DECLARE_METATYPE(vimo::EnterAction)

namespace {

using Maker = std::function<QWidget*()>;

template <typename Control> Maker Make()
{
    return [] { return new Control; };
}

// The controls of a compose-like dialog, in tab order: a one-line box, a multi-line text,
// a check box, OK and Cancel.
struct Form {
    QDialog Dialog;
    QLineEdit* Name = new QLineEdit(&Dialog);
    QPlainTextEdit* Text = new QPlainTextEdit(&Dialog);
    QCheckBox* Check = new QCheckBox(&Dialog);
    QPushButton* Ok = new QPushButton(QStringLiteral("OK"), &Dialog);
    QPushButton* Cancel = new QPushButton(QStringLiteral("Cancel"), &Dialog);

    Form()
    {
        int y = 0;
        for (QWidget* control : Dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            control->setGeometry(0, (y++) * 40, 200, 36);
        Dialog.resize(200, y * 40);
        QObject::connect(Ok, &QPushButton::clicked, &Dialog, &QDialog::accept);
        EnterAsTab::Install(&Dialog);
    }
};

void PressEnter(Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, modifiers);
}

} // namespace

// Enter moves between a dialog's controls like Tab, except where text wants a new line and
// in the picker, where it confirms.
class TestEnterAsTab : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decidesByTheFocusedControl_data()
    {
        test::Columns<Maker, EnterAction>("make", "action");
        QTest::addRow("one-line box moves on") << Make<QLineEdit>() << EnterAction::NextTabStop;
        QTest::addRow("push button moves on, not pressed")
            << Make<QPushButton>() << EnterAction::NextTabStop;
        QTest::addRow("check box moves on, not toggled")
            << Make<QCheckBox>() << EnterAction::NextTabStop;
        QTest::addRow("multi-line text keeps its new line")
            << Make<QPlainTextEdit>() << EnterAction::Keep;
        QTest::addRow("rich text keeps its new line") << Make<QTextEdit>() << EnterAction::Keep;
        QTest::addRow("picker confirms") << Make<CUserListBox>() << EnterAction::Confirm;
        QTest::addRow("other lists are left alone") << Make<QListWidget>() << EnterAction::Keep;
        QTest::addRow("no focus at all") << Maker([] { return nullptr; }) << EnterAction::Keep;
    }

    void decidesByTheFocusedControl()
    {
        QFETCH(Maker, make);
        QFETCH(EnterAction, action);
        const std::unique_ptr<QWidget> control(make());
        QCOMPARE(DecideEnter(control.get()), action);
    }

    void enterWalksTheDialog()
    {
        Form form;
        form.Dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&form.Dialog));
        QSignalSpy okClicks(form.Ok, &QPushButton::clicked);
        form.Name->setFocus();
        QTRY_VERIFY(form.Name->hasFocus());

        PressEnter();
        QVERIFY(form.Text->hasFocus());
        QTest::keyClicks(form.Text, QStringLiteral("one"));
        PressEnter();
        QTest::keyClicks(form.Text, QStringLiteral("two"));
        QCOMPARE(form.Text->toPlainText(), QStringLiteral("one\ntwo"));
        QVERIFY(form.Text->hasFocus());

        form.Check->setFocus();
        PressEnter();
        QVERIFY(!form.Check->isChecked());
        QVERIFY(form.Ok->hasFocus());
        PressEnter();
        QVERIFY(form.Cancel->hasFocus());
        QCOMPARE(okClicks.count(), 0);
        QVERIFY(form.Dialog.isVisible());

        PressEnter(Qt::ShiftModifier);
        QVERIFY(form.Ok->hasFocus());
        // The Space bar still presses a button.
        QTest::keyClick(form.Ok, Qt::Key_Space);
        QCOMPARE(okClicks.count(), 1);
    }
};

VIMO_TEST_MAIN(TestEnterAsTab, QApplication)
#include "TestEnterAsTab.moc"
