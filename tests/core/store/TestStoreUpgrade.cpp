#include "TestEnvironment.h"

#include "store/Statements.h"
#include "store/StoreSql.h"
#include "store/StoreUpgrade.h"

#include <QFile>
#include <QTest>

using namespace vimo;
using namespace Qt::StringLiterals;

namespace {

QStringList Logged;

// Keeps what the store's upgrade writes to the log.
void RecordStoreLog(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (QLatin1String(context.category) == QLatin1String("vimo.store"))
        Logged.append(message);
}

// The indexes of the notes table as the engine lists them, in capitals.
QStringList NotesIndexes()
{
    QStringList names = test::ColumnValues(test::StoreKind() == u"postgres"_s
            ? u"SELECT indexname FROM pg_indexes WHERE tablename='msgs'"_s
            : u"SELECT name FROM sqlite_master WHERE type='index' AND tbl_name='MSGS'"_s);
    for (QString& name : names)
        name = name.toUpper();
    names.sort();
    return names;
}

QString Notes()
{
    return test::ColumnValues(u"SELECT TKEY || ' ' || RECIPIENT || ' ' || MSG FROM MSGS "
                              "ORDER BY TKEY, MSG"_s)
        .join(u'|');
}

void MakeOld()
{
    test::MustExec(u"DROP INDEX MSGS_TKEY"_s);
    test::MustExec(u"DROP INDEX MSGS_RECIPIENT"_s);
}

void Upgrade()
{
    Logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(RecordStoreLog);
    UpgradeOldStore(test::TestStore());
    qInstallMessageHandler(previous);
}

} // namespace

// A store made before the indexes existed gets them at the next start; runs once on a SQLite
// file and once on PostgreSQL.
class TestStoreUpgrade : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(test::UseFreshStore()); }

    void anOldStoreGetsTheIndexesOfANewOneAndKeepsItsNotes()
    {
        const QStringList fresh = NotesIndexes();
        QCOMPARE(fresh.size(), 2);
        MakeOld();
        test::MustExec(u"INSERT INTO MSGS VALUES('Lunch?','ANN','BOB',20261206,2,7)"_s);
        test::MustExec(u"INSERT INTO MSGS VALUES('it''s late','BOB','ANN',20261206,3,8)"_s);
        const QString notes = Notes();

        Upgrade();
        QCOMPARE(NotesIndexes(), fresh);
        QCOMPARE(Notes(), notes);
        QCOMPARE(Logged.size(), 2);
        // The unique index at work: a second note under a taken key is refused.
        QVERIFY(StoreSql(test::TestStore())
                    .Exec(u"INSERT INTO MSGS VALUES('twin','ANN','BOB',20261206,2,7)"_s)
                    .Failure);

        // The next start finds nothing to do and says nothing.
        Upgrade();
        QCOMPARE(NotesIndexes(), fresh);
        QCOMPARE(Logged, QStringList());
    }

    // A file picked by mistake: another program's SQLite file, without the notes and users.
    void whatHoldsNotBothTablesIsLeftAsItWas()
    {
        for (const QString& table : { u"RCPTS"_s, u"MSGS"_s })
            test::MustExec(u"DROP TABLE IF EXISTS "_s + table);
        QFile file(test::DataSourceValue("Database")); // none on PostgreSQL: reads as empty
        const QByteArray before = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        Upgrade();
        AddReceiptsTable(test::TestStore());
        QVERIFY(StoreSql(test::TestStore()).FirstValue(TableCheckQuery(u"RCPTS"_s)).Failure);
        QCOMPARE(NotesIndexes(), QStringList());
        QCOMPARE(file.seek(0) ? file.readAll() : QByteArray(), before);
    }

    void sharedKeysKeepOnlyTheUniqueIndexAwayAndTheLogSaysWhy()
    {
        MakeOld();
        test::MustExec(u"INSERT INTO MSGS VALUES('first','ANN','BOB',20261206,3,5)"_s);
        test::MustExec(u"INSERT INTO MSGS VALUES('second','CAT','BOB',20261206,3,5)"_s);
        test::MustExec(u"INSERT INTO MSGS VALUES('other','ANN','BOB',20261206,3,6)"_s);
        const QString notes = Notes();

        Upgrade();
        QCOMPARE(NotesIndexes(), QStringList { u"MSGS_RECIPIENT"_s });
        QCOMPARE(Notes(), notes);
        const QStringList warned = Logged.filter(u"key 5 is held by more than one note"_s);
        QCOMPARE(warned.size(), 1);

        // Once the twin is gone, the next start adds it.
        test::MustExec(u"DELETE FROM MSGS WHERE MSG='second'"_s);
        Upgrade();
        QCOMPARE(NotesIndexes(), (QStringList { u"MSGS_RECIPIENT"_s, u"MSGS_TKEY"_s }));
    }
};

VIMO_TEST_MAIN(TestStoreUpgrade, QCoreApplication)
#include "TestStoreUpgrade.moc"
