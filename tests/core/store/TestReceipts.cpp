#include "TestEnvironment.h"

#include "store/DeletedTable.h"
#include "store/LaterTable.h"
#include "store/NoteTable.h"
#include "store/OfficeTable.h"
#include "store/ReceiptStatements.h"
#include "store/ReceiptTable.h"

#include <QTest>

using namespace vimo;
using namespace Qt::StringLiterals;

namespace {

QDateTime At(int minutes)
{
    return QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC).addSecs(qint64(minutes) * 60);
}

// The sender's list, each row as "recipient|stamp|text|shown|deleted".
QStringList Listed(const QString& sender)
{
    QStringList rows;
    for (const SentNote& n : ReceiptTable(test::TestStore()).SentBy(sender).Value)
        rows << QStringList { n.Recipient, QString::number(n.DateStamp), n.Text, n.Shown,
            n.Deleted }
                    .join(u'|');
    return rows;
}

} // namespace

// The receipts table on a real store: once on a SQLite data file, once on PostgreSQL.
class TestReceipts : public QObject {
    Q_OBJECT

    ReceiptTable store { test::TestStore() };

private Q_SLOTS:
    // A store made by copies that knew only MSGS and USRS, as every test store starts, gets
    // the table; the next copy to start finds it there.
    void init()
    {
        QVERIFY(test::UseFreshStore());
        QCOMPARE(store.Create().size(), 0);
        QCOMPARE(store.Create().size(), 0);
    }

    // Presence and groups live beside the receipts, in tables of their own.
    void presenceIsOneRowEachAndGroupsChangeWhole()
    {
        OfficeTable office(test::TestStore());
        QCOMPARE(office.Create().size(), 0);
        QCOMPARE(office.Create().size(), 0);
        for (int beat = 0; beat < 2; ++beat)
            QVERIFY(office.SayPresence(u"ANN"_s, PresenceState::In).Succeeded());
        QVERIFY(office.SayPresence(u"BOB"_s, PresenceState::Out).Succeeded());
        const PresenceView view = office.Presence().Value;
        QCOMPARE(test::FirstValue(u"SELECT COUNT(*) FROM VIMO_PRESENCE"_s), u"2"_s);
        QVERIFY(qAbs(view.Now - QDateTime::currentSecsSinceEpoch()) < 60);
        QCOMPARE(PresenceLabel(view, u"ANN"_s), u"in"_s);
        QVERIFY(office.HidePresence(u"ANN"_s).Succeeded());
        QVERIFY(!office.Presence().Value.Rows.contains(u"ANN"_s));

        const QStringList users { u"ANN"_s, u"BOB"_s };
        QCOMPARE(GroupChangeRefusal(u"SALES"_s, users, users), QString());
        for (const QString& taken : { u"ALL"_s, u"ANN"_s, u"sales"_s, u"A,B"_s, QString(16, u'S') })
            QVERIFY(!GroupChangeRefusal(taken, users, users).isEmpty());
        QVERIFY(!GroupChangeRefusal(u"SALES"_s, { u"ZED"_s }, users).isEmpty());
        QVERIFY(office.SetGroup(u"SALES"_s, users).Succeeded());
        QVERIFY(office.SetGroup(u"SALES"_s, { u"BOB"_s }).Succeeded());
        QCOMPARE(office.Groups().Value.value(u"SALES"_s), QStringList { u"BOB"_s });
        QVERIFY(office.SetGroup(u"SALES"_s, {}).Succeeded());
        QVERIFY(office.Groups().Value.isEmpty());
    }

    void receiptsFollowTheirNoteAndNoOtherOne()
    {
        const NoteIdentity toBob { 18, u"O'NEIL"_s, u"BOB"_s, 20261207 };
        // Run again after a broken link, the record stays one.
        for (int run = 0; run < 2; ++run)
            QVERIFY(store.RecordSent(toBob, u"it's 5 € – ünd"_s, At(0)).Succeeded());
        QVERIFY(store.RecordSent({ 19, u"O'NEIL"_s, u"CAROL"_s, 20261207 }, u"Lunch?"_s, At(1))
                    .Succeeded());
        QVERIFY(
            store.RecordSent({ 20, u"BOB"_s, u"O'NEIL"_s, 20261207 }, u"Yes"_s, At(2)).Succeeded());
        const QStringList waiting { u"CAROL|20261207|Lunch?||"_s,
            u"BOB|20261207|it's 5 € – ünd||"_s };
        QCOMPARE(Listed(u"O'NEIL"_s), waiting);

        // Receipts for rows that only look alike: another recipient, sender, day or key.
        const QList<NoteIdentity> others { { 18, u"O'NEIL"_s, u"CAROL"_s, 20261207 },
            { 18, u"BOB"_s, u"BOB"_s, 20261207 }, { 18, u"O'NEIL"_s, u"BOB"_s, 20261208 },
            { 17, u"O'NEIL"_s, u"BOB"_s, 20261207 } };
        QVERIFY(store.RecordShown(others, At(3)).Succeeded());
        for (const NoteIdentity& other : others)
            QVERIFY(store.RecordDeleted(other, At(3)).Succeeded());
        QCOMPARE(Listed(u"O'NEIL"_s), waiting);

        // The first showing and the first deletion count, also among the notes of a later poll.
        QVERIFY(store.RecordShown({ toBob }, At(5)).Succeeded());
        QVERIFY(store.RecordShown({ others[0], toBob }, At(6)).Succeeded());
        QCOMPARE(
            Listed(u"O'NEIL"_s).last(), u"BOB|20261207|it's 5 € – ünd|2026-12-07T09:05:00Z|"_s);
        for (const int minute : { 9, 10 })
            QVERIFY(store.RecordDeleted(toBob, At(minute)).Succeeded());
        const QString deleted
            = u"BOB|20261207|it's 5 € – ünd|2026-12-07T09:05:00Z|2026-12-07T09:09:00Z"_s;
        QCOMPARE(Listed(u"O'NEIL"_s).last(), deleted);

        // Each sender reads only their own; a recipient reads nothing of the notes to them.
        QCOMPARE(Listed(u"BOB"_s), QStringList({ u"O'NEIL|20261207|Yes||"_s }));
        QCOMPARE(Listed(u"CAROL"_s), QStringList());

        // The key comes back for the next note to BOB the same day: its receipts are its own.
        QVERIFY(store.RecordSent(toBob, u"again"_s, At(11)).Succeeded());
        QVERIFY(store.RecordShown({ toBob }, At(12)).Succeeded());
        QCOMPARE(Listed(u"O'NEIL"_s),
            QStringList({ u"BOB|20261207|again|2026-12-07T09:12:00Z|"_s, waiting[0], deleted }));
    }

    void theListKeepsTheNewestFifty()
    {
        for (int n = 1; n <= 55; ++n)
            QVERIFY(store.RecordSent({ n, u"ANN"_s, u"BOB"_s, 20261207 }, QString::number(n), At(n))
                        .Succeeded());
        QVERIFY(
            store.RecordSent({ 99, u"BOB"_s, u"ANN"_s, 20261207 }, u"old"_s, At(0)).Succeeded());
        const QStringList listed = Listed(u"ANN"_s);
        QCOMPARE(listed.size(), SentListLength);
        QCOMPARE(listed.first(), u"BOB|20261207|55||"_s);
        QCOMPARE(listed.last(), u"BOB|20261207|6||"_s);
        // Nobody can list the older ones: they are gone from the store, another sender's not.
        QCOMPARE(test::FirstValue(u"SELECT COUNT(*) FROM RCPTS WHERE SENDER='ANN'"_s), u"50"_s);
        QCOMPARE(Listed(u"BOB"_s), QStringList({ u"ANN|20261207|old||"_s }));
    }

    // A note is in one of MSGS, VIMO_DELETED and VIMO_LATER at a time, and comes back once.
    void deletedAndLaterNotesMoveWholeAndOnce()
    {
        Store& link = test::TestStore();
        QCOMPARE(DeletedTable(link).Create().size(), 0);
        NoteTable notes(link);
        DeletedTable deleted(link);
        const QString text = u"Keep me \\"_s;
        QVERIFY(notes.Insert({ text, u"BOB"_s, u"ANN"_s, u"20261207"_s, u'1' }).Succeeded());
        const NoteRow row = notes.Addressed(u"BOB"_s).Value.value(0);
        const NoteIdentity note { row.Key, u"ANN"_s, u"BOB"_s, 20261207 };
        QVERIFY(store.RecordSent(note, text, At(0)).Succeeded());
        QCOMPARE(notes.Delete(row).Value, NoteTable::Deletion::Deleted);
        QVERIFY(store.RecordDeleted(note, At(1)).Succeeded());
        // Its key is free again, and taken by the next note.
        QVERIFY(notes.Insert({ u"Mine"_s, u"CAROL"_s, u"ANN"_s, u"20261207"_s, u'3' }).Succeeded());
        QCOMPARE(deleted.Of(u"CAROL"_s).Value.size(), 0);
        const QList<DeletedNote> bobs = deleted.Of(u"BOB"_s).Value;
        QCOMPARE(bobs.size(), 1);
        QCOMPARE(deleted.Restore(bobs[0]).Value, DeletedTable::Restoral::Restored);
        QCOMPARE(deleted.Restore(bobs[0]).Value, DeletedTable::Restoral::Gone);
        const QList<NoteRow> back = notes.Addressed(u"BOB"_s).Value;
        QCOMPARE(back.size(), 1);
        QCOMPARE(back[0].Text, text);
        QVERIFY(back[0].Key != row.Key);
        QCOMPARE(Listed(u"ANN"_s), QStringList({ u"BOB|20261207|Keep me \\||"_s }));
        // Past the days kept, a deletion is for good.
        QCOMPARE(notes.Delete(back[0]).Value, NoteTable::Deletion::Deleted);
        test::MustExec(u"UPDATE VIMO_DELETED SET GONE=GONE-%1"_s.arg(KeptDeletedSeconds + 60));
        QCOMPARE(deleted.Of(u"BOB"_s).Value.size(), 0);

        LaterTable later(link);
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        for (int run = 0; run < 2; ++run)
            QVERIFY(later.Schedule({ 0, u"ANN"_s, u"BOB"_s, 20261208, 2, u"Later"_s, now + 3600 })
                        .Succeeded());
        QVERIFY(later.Schedule({ 0, u"ANN"_s, u"CAROL"_s, 20261208, 2, u"Due"_s, now - 1 })
                    .Succeeded());
        QCOMPARE(later.WaitingFrom(u"ANN"_s).Value.size(), 2);
        // Not early, not by a stranger, by its sender's copy as well, and once.
        QCOMPARE(later.MoveDue(u"BOB"_s, now).Value, 0);
        QCOMPARE(later.MoveDue(u"EVE"_s, now).Value, 0);
        QCOMPARE(later.MoveDue(u"ANN"_s, now).Value, 1);
        QCOMPARE(later.MoveDue(u"CAROL"_s, now).Value, 0);
        QCOMPARE(notes.Addressed(u"CAROL"_s).Value.size(), 2);
        QCOMPARE(Listed(u"ANN"_s).first().left(20), u"CAROL|20261208|Due||"_s);
        const qint64 id = later.WaitingFrom(u"ANN"_s).Value.value(0).Id;
        QCOMPARE(later.Cancel(id, u"EVE"_s).Value, LaterTable::TakeBack::AlreadyGone);
        QCOMPARE(later.Cancel(id, u"ANN"_s).Value, LaterTable::TakeBack::TakenBack);
        QCOMPARE(later.WaitingFrom(u"ANN"_s).Value.size(), 0);
    }
};

VIMO_TEST_MAIN(TestReceipts, QCoreApplication)
#include "TestReceipts.moc"
