#include "TestEnvironment.h"

#include "store/Statements.h"
#include "store/UserTable.h"
#include "widgets/CUserListBox.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace vimo;

namespace {

QStringList Items(const CUserListBox& list)
{
    QStringList items;
    for (int row = 0; row < list.count(); ++row)
        items.append(list.item(row)->text());
    return items;
}

// Fills the picker the way the dialogs do: with the store's user names.
int Fill(CUserListBox& list)
{
    list.SetNames(UserTable(test::TestStore()).Names().Value);
    return list.count();
}

void AddUsers(const QStringList& names)
{
    for (const QString& name : names)
        test::MustExec(AddUserStatement(name));
}

} // namespace

// The picker with the store's names, on a real store of either kind.
class TestUserListBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(test::UseFreshStore()); }

    void emptyTableGivesEmptyPicker()
    {
        CUserListBox list;
        QCOMPARE(Fill(list), 0);
        QVERIFY(list.selectedItems().isEmpty());
        QCOMPARE(list.SelectedText(), QString());
    }

    void pickerSortsWithoutCaseSkipsBlanksAndDuplicates()
    {
        AddUsers({ QStringLiteral("BOB"), QStringLiteral("ann"), QStringLiteral("ALF"),
            QStringLiteral("BOB"), QStringLiteral("O'NEIL"), QStringLiteral("carol") });
        // Padding the way a CHAR column or another program leaves it, and rows with nothing.
        test::MustExec(QStringLiteral("INSERT INTO USRS (RECIPIENT) VALUES('DAVE  ')"));
        test::MustExec(QStringLiteral("INSERT INTO USRS (RECIPIENT) VALUES('   ')"));
        test::MustExec(QStringLiteral("INSERT INTO USRS (RECIPIENT) VALUES(NULL)"));

        CUserListBox list;
        QSignalSpy rowChanges(&list, &QListWidget::currentRowChanged);
        QSignalSpy selectionChanges(&list, &QListWidget::itemSelectionChanged);

        QCOMPARE(Fill(list), 6);
        QCOMPARE(Items(list),
            QStringList({ QStringLiteral("ALF"), QStringLiteral("ann"), QStringLiteral("BOB"),
                QStringLiteral("carol"), QStringLiteral("DAVE"), QStringLiteral("O'NEIL") }));
        // The first name is highlighted, and no one is told: the dialog's name stays as typed.
        QCOMPARE(list.SelectedText(), QStringLiteral("ALF"));
        QCOMPARE(rowChanges.count(), 0);
        QCOMPARE(selectionChanges.count(), 0);
    }

    void eachFillStartsAfreshAndFailsSilently()
    {
        AddUsers({ QStringLiteral("ANN"), QStringLiteral("BOB") });
        CUserListBox list;
        QCOMPARE(Fill(list), 2);
        list.setCurrentRow(1);

        test::MustExec(QStringLiteral("DELETE FROM USRS WHERE RECIPIENT='ANN'"));
        QSignalSpy rowChanges(&list, &QListWidget::currentRowChanged);
        QCOMPARE(Fill(list), 1);
        QCOMPARE(Items(list), QStringList { QStringLiteral("BOB") });
        QCOMPARE(list.SelectedText(), QStringLiteral("BOB"));
        QCOMPARE(rowChanges.count(), 0);

        test::AlertRecorder alerts;
        test::MustExec(QStringLiteral("DROP TABLE USRS"));
        QCOMPARE(Fill(list), 0);
        QVERIFY(alerts.Alerts.isEmpty());
    }

    void selectingByTextIgnoresCaseAndKeepsAnExactPick()
    {
        AddUsers({ QStringLiteral("ANN"), QStringLiteral("ann"), QStringLiteral("ANNA"),
            QStringLiteral("BOB") });
        CUserListBox list;
        Fill(list);
        QSignalSpy selectionChanges(&list, &QListWidget::itemSelectionChanged);

        list.SelectStartingWith(QStringLiteral("bo"));
        QCOMPARE(list.SelectedText(), QStringLiteral("BOB"));
        list.SelectStartingWith(QStringLiteral("ZED"));
        QCOMPARE(list.SelectedText(), QStringLiteral("BOB"));
        list.setCurrentRow(1);
        QCOMPARE(list.SelectedText(), QStringLiteral("ann"));
        selectionChanges.clear();
        // Without this, moving down onto "ann" would jump back to "ANN" at once.
        list.SelectStartingWith(QStringLiteral("ann"));
        QCOMPARE(list.SelectedText(), QStringLiteral("ann"));
        QCOMPARE(selectionChanges.count(), 0);
    }

    void ctrlClickCannotUnpickTheName()
    {
        AddUsers({ QStringLiteral("ANN"), QStringLiteral("BOB") });
        CUserListBox list;
        Fill(list);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const QPoint first = list.visualItemRect(list.item(0)).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, first);
        QCOMPARE(list.SelectedText(), QStringLiteral("ANN"));
        const QPoint second = list.visualItemRect(list.item(1)).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, second);
        QCOMPARE(list.SelectedText(), QStringLiteral("BOB"));
    }
};

VIMO_TEST_MAIN(TestUserListBox, QApplication)
#include "TestUserListBox.moc"
