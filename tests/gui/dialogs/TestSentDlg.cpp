#include "TestEnvironment.h"

#include "TestWidgets.h"

#include "dialogs/CSentDlg.h"

#include <QApplication>
#include <QTest>
#include <QTreeWidget>

using namespace vimo;
using namespace Qt::StringLiterals;

// "Sent Vimos" shows the lines it is given, one note to a line.
class TestSentDlg : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsEachNoteOnOneLine()
    {
        CSentDlg dialog;
        dialog.SetRows({
            { u"BOB"_s, 20261207, u"two\r\nlines"_s, u"2026-12-07T10:42:05Z"_s, QString() },
            { u"O'NEIL"_s, 0, u"Lunch?"_s, QString(), QString() },
            { u"<B>EVE</B>\u202e"_s, 0, u"<img src=/dev/zero>"_s + QString(9999, u'x'), {}, {} },
        });
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const auto* list = dialog.findChild<QTreeWidget*>(u"SentList"_s);
        QCOMPARE(list->topLevelItemCount(), 3);
        const QTreeWidgetItem* first = list->topLevelItem(0);
        QCOMPARE(QStringList({ first->text(0), first->text(1), first->text(2), first->text(3) }),
            QStringList({ u"BOB"_s, u"Mon 7 Dec 2026"_s, u"two lines"_s,
                u"on screen since Mon 7 Dec 2026 10:42"_s }));
        QCOMPARE(test::TipText(first->toolTip(CSentDlg::TextColumn)), u"two\nlines"_s);
        // A stamp that names no day shows no date.
        QCOMPARE(list->topLevelItem(1)->text(CSentDlg::DateColumn), QString());
        // Whoever can write the store writes these rows.
        const QTreeWidgetItem* forged = list->topLevelItem(2);
        QCOMPARE(forged->text(CSentDlg::ToColumn), u"<B>EVE</B> "_s);
        QVERIFY(test::TipText(forged->toolTip(CSentDlg::TextColumn)).startsWith(u"<img src="_s));
    }
};

VIMO_TEST_MAIN(TestSentDlg, QApplication)
#include "TestSentDlg.moc"
