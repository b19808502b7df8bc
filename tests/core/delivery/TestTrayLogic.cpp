#include "TestEnvironment.h"

#include "delivery/Delivery.h"
#include "delivery/NoteSlotTable.h"
#include "delivery/PendingDeletions.h"
#include "delivery/TrayLogic.h"

#include <QHash>
#include <QTest>

using namespace vimo;
using namespace Qt::StringLiterals;

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
        test::Columns<int, ColorRef>("urgency", "colour");
        QTest::addRow("1 yellow") << 1 << MakeColorRef(255, 255, 0);
        QTest::addRow("2 green") << 2 << MakeColorRef(0, 255, 0);
        QTest::addRow("3 red") << 3 << MakeColorRef(255, 0, 0);
        QTest::addRow("0, a vanished row, yellow") << 0 << MakeColorRef(255, 255, 0);
        QTest::addRow("4 yellow") << 4 << MakeColorRef(255, 255, 0);
        QTest::addRow("negative yellow") << -3 << MakeColorRef(255, 255, 0);
    }
    void urgencyPicksTheColour()
    {
        QFETCH(int, urgency);
        QFETCH(ColorRef, colour);
        QCOMPARE(UrgencyColor(urgency), colour);
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

    void pendingDeletionsKeepEveryRequestOnceAndDeferredRowsUntilForgotten()
    {
        const NoteRow a { 18, u"ANN"_s, u"BOB"_s, u"1"_s, u"1"_s, u"a"_s };
        const NoteRow b { 21, u"ANN"_s, u"BOB"_s, u"1"_s, u"1"_s, u"b"_s };
        PendingDeletions pending;
        QVERIFY(pending.TakeAll().empty());
        pending.Add(0, a);
        pending.Add(3, b);
        pending.Add(0, a); // the same note asked twice
        pending.Add(5, a);
        pending.Drop(5); // its window went another way meanwhile
        const auto requests = pending.TakeAll();
        QCOMPARE(requests.size(), std::size_t(2));
        QCOMPARE(requests[0].Row, a);
        QCOMPARE(requests[1].Slot, 3);
        QVERIFY(pending.TakeAll().empty());

        pending.Defer(a);
        pending.Defer(a);
        QCOMPARE(pending.DeferredRows(), QList<NoteRow> { a });
        QCOMPARE(pending.DeferredRows().size(), 1);
        pending.Forget(a);
        QVERIFY(pending.DeferredRows().isEmpty());
    }

    void aPollOpensNewRowsAndReplacesWindowsWhoseKeyHoldsAnotherRow()
    {
        const auto row = [](qint64 key, const QString& text) {
            return NoteRow { key, u"ANN"_s, u"BOB"_s, u"20261207"_s, u"1"_s, text };
        };
        QHash<qint64, NoteRow> shown { { 1, row(1, u"kept"_s) }, { 2, row(2, u"deleted"_s) },
            { 3, row(3, u"one of two"_s) }, { 9, row(9, u"gone from the store"_s) } };
        const auto shownRow = [&](qint64 key) -> const NoteRow* {
            const auto found = shown.constFind(key);
            return found == shown.cend() ? nullptr : &*found;
        };
        const QList<NoteRow> polled { row(4, u"new"_s), row(2, u"took the key of a deleted one"_s),
            row(1, u"kept"_s), row(3, u"the other of two"_s), row(3, u"one of two"_s),
            row(5, u"first of a doubled key"_s), row(5, u"second of a doubled key"_s),
            row(6, u"its deletion waits"_s) };
        const DeliveryPlan plan
            = PlanDelivery(polled, shownRow, { row(6, u"its deletion waits"_s) });
        QCOMPARE(plan.StaleKeys, QList<qint64> { 2 });
        QStringList opened;
        for (const NoteRow& r : plan.ToOpen)
            opened << r.Text;
        QCOMPARE(opened,
            (QStringList {
                u"new"_s, u"took the key of a deleted one"_s, u"first of a doubled key"_s }));
    }

    void theTrayTellsOfAnOutageOnceFromItsFirstFailedPoll()
    {
        StoreReachability reach;
        QVERIFY(!reach.IsOut());
        QVERIFY(!reach.PollSucceeded()); // nothing changes: nothing to tell
        const QDateTime first(QDate(2026, 12, 7), QTime(10, 42, 30));
        QVERIFY(reach.PollFailed(first));
        QVERIFY(!reach.PollFailed(first.addSecs(20))); // still the same outage
        QCOMPARE(reach.OutageSince(), first);
        QCOMPARE(
            OutageTipText(reach.OutageSince()), u"Vimo: the store cannot be reached since 10:42"_s);
        QVERIFY(OutageTipText(reach.OutageSince()).size() <= 63); // fits any tray's tooltip
        QVERIFY(reach.PollSucceeded());
        QVERIFY(!reach.IsOut());
        QVERIFY(reach.PollFailed(first.addSecs(3600)));
        QCOMPARE(OutageTipText(reach.OutageSince()).right(5), u"11:42"_s);
    }

    void waitingNotesAreToldOnceUntilTheirNumberChanges()
    {
        WaitingNotesNotice notice;
        QVERIFY(!notice.ShouldTell(0));
        QVERIFY(notice.ShouldTell(100));
        QVERIFY(!notice.ShouldTell(100)); // every later poll: no second box
        QVERIFY(notice.ShouldTell(101));
        QVERIFY(!notice.ShouldTell(0)); // all shown: nothing to tell, and the count starts over
        QVERIFY(notice.ShouldTell(101));
    }
};

VIMO_TEST_MAIN(TestTrayLogic, QCoreApplication)
#include "TestTrayLogic.moc"
