#include "TestEnvironment.h"

#include "dialogs/CUserListBox.h"
#include "store/Statements.h"

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

void AddUsers(const QStringList& names)
{
    for (const QString& name : names)
        test::MustExec(AddUserStatement(name));
}

} // namespace

// The list that fills itself from a query, on a real store of either kind.
class TestUserListBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(test::UseFreshStore()); }

    void emptyTableGivesEmptyPicker()
    {
        CUserListBox list;
        list.setSortedByName(true);
        QCOMPARE(list.FillFromQuery(UserListQuery()), 0);
        QCOMPARE(list.ItemCount(), 0);
        QCOMPARE(list.count(), 0);
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
        list.setSortedByName(true);
        QSignalSpy rowChanges(&list, &QListWidget::currentRowChanged);
        QSignalSpy selectionChanges(&list, &QListWidget::itemSelectionChanged);

        QCOMPARE(list.FillFromQuery(UserListQuery()), 6);
        QCOMPARE(list.ItemCount(), 6);
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
        list.setSortedByName(true);
        QCOMPARE(list.FillFromQuery(UserListQuery()), 2);
        list.setCurrentRow(1);

        test::MustExec(QStringLiteral("DELETE FROM USRS WHERE RECIPIENT='ANN'"));
        QSignalSpy rowChanges(&list, &QListWidget::currentRowChanged);
        QCOMPARE(list.FillFromQuery(UserListQuery()), 1);
        QCOMPARE(Items(list), QStringList { QStringLiteral("BOB") });
        QCOMPARE(list.SelectedText(), QStringLiteral("BOB"));
        QCOMPARE(rowChanges.count(), 0);

        test::AlertRecorder alerts;
        QCOMPARE(list.FillFromQuery(QStringLiteral("SELECT RECIPIENT FROM NO_SUCH_TABLE")), 0);
        QCOMPARE(list.ItemCount(), 0);
        QCOMPARE(list.count(), 0);
        QVERIFY(alerts.Alerts.isEmpty());
    }

    void keyListKeepsStoreOrderAndSelectsNothing()
    {
        for (int key : { 5, 3, 9 }) {
            test::MustExec(PostStatement(QStringLiteral("hi"), QStringLiteral("BOB"),
                QStringLiteral("ANN"), QStringLiteral("20260101"), key, u'1'));
        }
        CUserListBox keys;
        keys.setSelectionMode(QAbstractItemView::NoSelection);
        QCOMPARE(keys.FillFromQuery(PollQuery(QStringLiteral("BOB")) + QStringLiteral("  \n")), 3);
        QCOMPARE(Items(keys),
            QStringList({ QStringLiteral("5"), QStringLiteral("3"), QStringLiteral("9") }));
        QVERIFY(keys.selectedItems().isEmpty());
    }

    void selectingByTextIgnoresCaseAndKeepsAnExactPick()
    {
        AddUsers({ QStringLiteral("ANN"), QStringLiteral("ann"), QStringLiteral("ANNA"),
            QStringLiteral("BOB") });
        CUserListBox list;
        list.setSortedByName(true);
        list.FillFromQuery(UserListQuery());
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
        list.setSortedByName(true);
        list.FillFromQuery(UserListQuery());
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
