#include "TestEnvironment.h"

#include "exchange/NoteSlotTable.h"
#include "exchange/PendingDeletions.h"
#include "exchange/TrayLogic.h"

#include <QTest>

using namespace vimo;

namespace {
struct FakeNote {
    explicit FakeNote(int key)
        : Key(key)
    {
    }
    int Key;
};
using Table = NoteSlotTable<FakeNote>;
} // namespace

class TestTrayLogic : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tooltipCountsNotes_data()
    {
        test::Columns<int, QString>("count", "text");
        QTest::addRow("none is plural") << 0 << QStringLiteral("0 Vimos Active");
        QTest::addRow("one is singular") << 1 << QStringLiteral("1 Vimo Active");
        QTest::addRow("two is plural") << 2 << QStringLiteral("2 Vimos Active");
        QTest::addRow("a full table") << 500 << QStringLiteral("500 Vimos Active");
    }
    void tooltipCountsNotes()
    {
        QFETCH(int, count);
        QFETCH(QString, text);
        QCOMPARE(TrayTipText(count), text);
    }

    void urgencyPicksTheColour_data()
    {
        test::Columns<int, QColor>("urgency", "colour");
        QTest::addRow("1 yellow") << 1 << QColor(255, 255, 0);
        QTest::addRow("2 green") << 2 << QColor(0, 255, 0);
        QTest::addRow("3 red") << 3 << QColor(255, 0, 0);
        QTest::addRow("0, a vanished row, yellow") << 0 << QColor(255, 255, 0);
        QTest::addRow("4 yellow") << 4 << QColor(255, 255, 0);
        QTest::addRow("negative yellow") << -3 << QColor(255, 255, 0);
    }
    void urgencyPicksTheColour()
    {
        QFETCH(int, urgency);
        QFETCH(QColor, colour);
        QCOMPARE(ToQColor(UrgencyColor(urgency)), colour);
    }

    void notesOpenDiagonallyWhileTheyFit()
    {
        const QRect screen(0, 0, 1024, 768);
        QCOMPARE(NotePosition(0, screen), QPoint(50, 50));
        QCOMPARE(NotePosition(1, screen), QPoint(60, 60));
        QCOMPARE(NotePosition(61, screen), QPoint(660, 660)); // 660 + 100 = 760: still inside
    }

    void notesPastTheScreenWrapBackIntoIt()
    {
        const QRect screen(0, 0, 1024, 768);
        for (int slot = 0; slot < Table::Capacity; ++slot) {
            const QRect note(NotePosition(slot, screen), QSize(NoteSize, NoteSize));
            QVERIFY2(screen.contains(note), qPrintable(QStringLiteral("slot %1").arg(slot)));
        }
        QCOMPARE(NotePosition(62, screen).y(), 1); // 670 would cross the bottom edge
        QCOMPARE(NotePosition(100, screen), QPoint(125, 381));
    }

    void placementRespectsAPanelAndTinyScreens()
    {
        const QRect belowPanel(0, 28, 1024, 740);
        QCOMPARE(NotePosition(0, belowPanel), QPoint(50, 50));
        QVERIFY(belowPanel.contains(QRect(NotePosition(70, belowPanel), QSize(100, 100))));
        QCOMPARE(NotePosition(3, QRect(0, 0, 80, 80)), QPoint(0, 0));
    }

    void slotsFillLowestFirstAndStayPut()
    {
        Table table;
        QCOMPARE(table.FirstEmptySlot(), 0);
        QVERIFY(table.Store(0, std::make_unique<FakeNote>(7)));
        QVERIFY(table.Store(1, std::make_unique<FakeNote>(9)));
        QVERIFY(!table.Store(1, std::make_unique<FakeNote>(11))); // taken
        QCOMPARE(table.FirstEmptySlot(), 2);
        QCOMPARE(table.FindKey(9), 1);
        QCOMPARE(table.FindKey(8), -1);

        QCOMPARE(table.Take(0)->Key, 7);
        QCOMPARE(table.FirstEmptySlot(), 0); // the freed slot comes first again
        QCOMPARE(table.At(1)->Key, 9); // the other note did not move
        QCOMPARE(table.Count(), 1);
        QVERIFY(!table.Take(0));
        QVERIFY(!table.At(-1) && !table.At(Table::Capacity));
    }

    void aFullTableHasNoEmptySlot()
    {
        Table table;
        for (int slot = 0; slot < Table::Capacity; ++slot)
            QVERIFY(table.Store(table.FirstEmptySlot(), std::make_unique<FakeNote>(slot + 1)));
        QCOMPARE(table.Count(), 500);
        QCOMPARE(table.FirstEmptySlot(), -1);
        QVERIFY(!table.Store(-1, std::make_unique<FakeNote>(1000)));

        QList<int> visited;
        table.ForEach([&](int slot, const FakeNote& note) {
            if (slot < 3)
                visited << note.Key;
        });
        QCOMPARE(visited, (QList<int> { 1, 2, 3 }));
        table.Clear();
        QCOMPARE(table.Count(), 0);
    }

    void pendingDeletionsKeepEveryRequestOnce()
    {
        PendingDeletions pending;
        QVERIFY(pending.TakeAll().empty());
        pending.Add(18, 0);
        pending.Add(21, 3);
        pending.Add(18, 0); // the same note asked twice
        const auto requests = pending.TakeAll();
        QCOMPARE(requests.size(), std::size_t(2));
        QCOMPARE(requests[0].Key, 18);
        QCOMPARE(requests[1].Slot, 3);
        QVERIFY(pending.TakeAll().empty());
    }
};

VIMO_TEST_MAIN(TestTrayLogic, QCoreApplication)
#include "TestTrayLogic.moc"
