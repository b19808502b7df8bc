#include "TestEnvironment.h"

#include "store/ReceiptStatements.h"
#include "store/Receipts.h"

#include <QTest>

using namespace vimo;
using namespace Qt::StringLiterals;

namespace {

const QDateTime Monday(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);

QDateTime At(int minutes)
{
    return Monday.addSecs(minutes * 60);
}

// Each row as "recipient|stamp|text|shown|deleted".
QStringList Listed(const QString& sender)
{
    const StoreResult<QList<SentNote>> notes = test::TestStore().SentNotes(sender);
    if (notes.Failure)
        qWarning().noquote() << notes.Failure->Statement << notes.Failure->Error.Message;
    QStringList rows;
    for (const SentNote& note : notes.Value) {
        rows << QStringList { note.Recipient, QString::number(note.DateStamp), note.Text,
            note.Shown, note.Deleted }
                    .join(u'|');
    }
    return rows;
}

} // namespace

// The receipts table on a real store: once on a SQLite data file, once on PostgreSQL.
class TestReceipts : public QObject {
    Q_OBJECT

    Store& store = test::TestStore();

private Q_SLOTS:
    // A store made by copies that knew only MSGS and USRS, as every test store starts.
    void init()
    {
        QVERIFY(test::UseFreshStore());
        QCOMPARE(store.CreateReceiptsTable().size(), 0);
    }

    void receiptsFollowTheirNoteAndNoOtherOne()
    {
        // The next copy to start finds the table there.
        QCOMPARE(store.CreateReceiptsTable().size(), 0);

        const NoteIdentity toBob { 18, u"O'NEIL"_s, u"BOB"_s, 20261207 };
        const NoteIdentity toCarol { 19, u"O'NEIL"_s, u"CAROL"_s, 20261207 };
        const NoteIdentity toNeil { 20, u"BOB"_s, u"O'NEIL"_s, 20261207 };
        QVERIFY(store.RecordSent(toBob, u"it's 5 € – ünd"_s, At(0)).Succeeded());
        QVERIFY(store.RecordSent(toCarol, u"Lunch at one?"_s, At(1)).Succeeded());
        QVERIFY(store.RecordSent(toNeil, u"Yes"_s, At(2)).Succeeded());
        QCOMPARE(Listed(u"O'NEIL"_s),
            QStringList(
                { u"CAROL|20261207|Lunch at one?||"_s, u"BOB|20261207|it's 5 € – ünd||"_s }));

        // Receipts for rows that only look alike: another recipient, sender, day or key.
        for (const NoteIdentity& other : { NoteIdentity { 18, u"O'NEIL"_s, u"CAROL"_s, 20261207 },
                 NoteIdentity { 18, u"BOB"_s, u"BOB"_s, 20261207 },
                 NoteIdentity { 18, u"O'NEIL"_s, u"BOB"_s, 20261208 },
                 NoteIdentity { 17, u"O'NEIL"_s, u"BOB"_s, 20261207 } }) {
            QVERIFY(store.RecordShown(other, At(3)).Succeeded());
            QVERIFY(store.RecordDeleted(other, At(3)).Succeeded());
        }
        QCOMPARE(Listed(u"O'NEIL"_s),
            QStringList(
                { u"CAROL|20261207|Lunch at one?||"_s, u"BOB|20261207|it's 5 € – ünd||"_s }));

        // The first showing counts; deleted is kept apart from it.
        QVERIFY(store.RecordShown(toBob, At(5)).Succeeded());
        QVERIFY(store.RecordShown(toBob, At(6)).Succeeded());
        QCOMPARE(
            Listed(u"O'NEIL"_s).last(), u"BOB|20261207|it's 5 € – ünd|2026-12-07T09:05:00Z|"_s);
        QVERIFY(store.RecordDeleted(toBob, At(9)).Succeeded());
        QVERIFY(store.RecordDeleted(toBob, At(10)).Succeeded());
        QCOMPARE(Listed(u"O'NEIL"_s).last(),
            u"BOB|20261207|it's 5 € – ünd|2026-12-07T09:05:00Z|2026-12-07T09:09:00Z"_s);

        // Each sender reads only their own; a recipient reads nothing of the notes to them.
        QCOMPARE(Listed(u"BOB"_s), QStringList({ u"O'NEIL|20261207|Yes||"_s }));
        QCOMPARE(Listed(u"CAROL"_s), QStringList());

        // The key comes back for the next note to BOB the same day: its receipts are its own.
        QVERIFY(store.RecordSent(toBob, u"again"_s, At(11)).Succeeded());
        QVERIFY(store.RecordShown(toBob, At(12)).Succeeded());
        QCOMPARE(Listed(u"O'NEIL"_s),
            QStringList({ u"BOB|20261207|again|2026-12-07T09:12:00Z|"_s,
                u"CAROL|20261207|Lunch at one?||"_s,
                u"BOB|20261207|it's 5 € – ünd|2026-12-07T09:05:00Z|2026-12-07T09:09:00Z"_s }));
    }

    void theListKeepsTheNewestFifty()
    {
        for (int n = 1; n <= 55; ++n) {
            QVERIFY(store.RecordSent({ n, u"ANN"_s, u"BOB"_s, 20261207 }, QString::number(n), At(n))
                        .Succeeded());
        }
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

    void theTableIsAsOtherCopiesExpectIt()
    {
        QCOMPARE(ReceiptsTableCreation(),
            u"CREATE TABLE IF NOT EXISTS RCPTS(TKEY INT,SENDER CHAR(15) NULL,RECIPIENT CHAR(15) "
            "NULL,DT INT,MSG CHAR(250) NULL,SENT CHAR(20) NULL,SHOWN CHAR(20) NULL,DELETED "
            "CHAR(20) NULL)"_s);
        // A note and a name at their limits fit.
        const NoteIdentity full { 1, QString(15, u'S'), QString(15, u'R'), 20261207 };
        QVERIFY(store.RecordSent(full, QString(250, u'ü'), At(0)).Succeeded());
        QCOMPARE(store.SentNotes(full.Sender).Value.value(0).Text, QString(250, u'ü'));
    }
};

VIMO_TEST_MAIN(TestReceipts, QCoreApplication)
#include "TestReceipts.moc"
