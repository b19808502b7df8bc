#include "TestEnvironment.h"

#include "store/Statements.h"
#include "wakeup/DataSourceKeys.h"
#include "wakeup/HostLookup.h"
#include "wakeup/LookupThreads.h"
#include "wakeup/PgListener.h"
#include "wakeup/StoreWakeup.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTcpServer>
#include <QTest>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vimo;
using namespace Qt::StringLiterals;

namespace {

constexpr int Patience = 20000;

void PostTo(const QString& recipient, int key)
{
    test::MustExec(PostStatement(u"note %1"_s.arg(key), recipient, u"ANN"_s, u"1"_s, key, u'1'));
}

// The office's broker, with the per-user rules that docs/administration.md gives, on a free
// port of 127.0.0.1; the data source names it.
bool StartBroker(QProcess& broker, quint16 port)
{
    const QString dir = test::NewPath(u"broker"_s);
    QDir().mkpath(dir);
    QFile acl(dir + u"/acl"_s);
    QFile config(dir + u"/mosquitto.conf"_s);
    if (!acl.open(QIODevice::WriteOnly) || !config.open(QIODevice::WriteOnly))
        return false;
    acl.write("pattern read vimo/wakeup/%u\npattern write vimo/wakeup/+\n");
    config.write(u"listener %1 127.0.0.1\nallow_anonymous true\nacl_file %2\n%3"_s.arg(port)
                     .arg(acl.fileName(), ::getuid() == 0 ? u"user root\n"_s : QString())
                     .toUtf8());
    acl.close();
    config.close();
    broker.start(u"mosquitto"_s, { u"-c"_s, config.fileName() });
    return broker.waitForStarted();
}

quint16 FreePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

QStringList Payloads(const QSignalSpy& spy)
{
    QStringList payloads;
    for (const QList<QVariant>& signal : spy)
        payloads.append(QString::fromUtf8(signal.at(0).toByteArray()));
    return payloads;
}

} // namespace

// A copy learns at once of a note for its user where the store can tell: a PostgreSQL store
// with the wake-up trigger, a SQLite file on a local disk. Elsewhere it is left to the poll.
class TestStoreWakeup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aSqliteFileWatchWakesAlsoAfterTheFileWasReplaced()
    {
        const QString path = test::UseFreshSqliteStore();
        StoreWakeup wakeup(u"ANN"_s, Lookups);
        QSignalSpy woken(&wakeup, &StoreWakeup::NoteMayHaveArrived);
        wakeup.Start(test::TestStore());
        QCOMPARE(wakeup.Active(), StoreWakeup::Means::FileWatch);

        PostTo(u"ANN"_s, 1);
        QTRY_COMPARE_WITH_TIMEOUT(woken.count(), 1, Patience);

        // Restored from a copy: another file under the same name. The open link keeps the old
        // one alive, so the watch sees it merely lose its name.
        const QString copy = test::NewPath(u"restored.vmo"_s);
        QVERIFY(QFile::copy(path, copy));
        QVERIFY(::rename(QFile::encodeName(copy).constData(), QFile::encodeName(path).constData())
            == 0);
        QTRY_COMPARE_WITH_TIMEOUT(woken.count(), 2, Patience);
        QVERIFY(test::TestStore().Connect().Succeeded());
        PostTo(u"ANN"_s, 2);
        QTRY_COMPARE_WITH_TIMEOUT(woken.count(), 3, Patience);
        QCOMPARE(wakeup.Active(), StoreWakeup::Means::FileWatch);

        // Turned off in the data source: the copy only polls.
        test::WriteOdbcIni(u"[VIMO]\nDriver=%1\nDatabase=%2\nListen=no\n"_s.arg(
            QString::fromLatin1(VIMO_DRIVER_NAME), path));
        StoreWakeup off(u"ANN"_s, Lookups);
        off.Start(test::TestStore());
        QCOMPARE(off.Active(), StoreWakeup::Means::None);
    }

    void aWriteThroughAnotherMountWakesTheCopy()
    {
        // One folder through two FUSE mounts, as two machines see a share: a write through one
        // raises no change event on the other.
        const QString folder = test::NewPath(u"share"_s);
        const QStringList mounts { test::NewPath(u"ann"_s), test::NewPath(u"bob"_s) };
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::copy(test::UseFreshSqliteStore(), folder + u"/office.vmo"_s));
        QProcess bindfs[2];
        const auto unmount = qScopeGuard([&] {
            test::TestWorker().Call([](Store& store) { store.Close(); });
            for (const QString& mount : mounts)
                QProcess::execute(u"fusermount"_s, { u"-u"_s, mount });
        });
        for (int side = 0; side < 2; ++side) {
            QVERIFY(QDir().mkpath(mounts[side]));
            bindfs[side].start(u"bindfs"_s,
                { u"-f"_s, u"--no-allow-other"_s, u"--enable-lock-forwarding"_s,
                    u"--multithreaded"_s, u"-o"_s, u"direct_io"_s, folder, mounts[side] });
            QVERIFY2(bindfs[side].waitForStarted(), "bindfs is not installed");
            QTRY_COMPARE_WITH_TIMEOUT(
                QStorageInfo(mounts[side]).rootPath(), mounts[side], Patience);
        }
        test::WriteOdbcIni(u"[VIMO]\nDriver=%1\nDatabase=%2/office.vmo\n"_s.arg(
            QString::fromLatin1(VIMO_DRIVER_NAME), mounts[0]));
        QVERIFY(test::TestStore().Connect().Succeeded());
        StoreWakeup wakeup(u"ANN"_s, Lookups);
        QSignalSpy woken(&wakeup, &StoreWakeup::NoteMayHaveArrived);
        wakeup.Start(test::TestWorker());
        QTRY_COMPARE_WITH_TIMEOUT(wakeup.Active(), StoreWakeup::Means::FileCheck, Patience);
        QVERIFY(test::Settled()); // the first check has read the file as it was
        QCOMPARE(QProcess::execute(u"sqlite3"_s,
                     { mounts[1] + u"/office.vmo"_s,
                         u"INSERT INTO MSGS VALUES('through BOB''s mount','ANN','BOB',1,1,7)"_s }),
            0);
        QTRY_COMPARE_WITH_TIMEOUT(woken.count(), 1, Patience);

        // A FIFO in the file's place: the check reads nothing there, and the store's thread
        // goes on.
        QVERIFY(QFile::remove(folder + u"/office.vmo"_s));
        const QByteArray fifo = QFile::encodeName(folder + u"/office.vmo"_s);
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        // Should a check wait there after all, a writer lets it go, and the test ends.
        const auto release = qScopeGuard([&] { ::close(::open(fifo, O_WRONLY | O_NONBLOCK)); });
        QTRY_COMPARE_WITH_TIMEOUT(woken.count(), 2, Patience);
        QVERIFY(test::Settled());
    }

    void aNoteWakesTheListenerOfItsRecipientOnly()
    {
        QVERIFY(test::UseFreshPostgresStore());
        test::MustExec(test::PostgresSchema());
        // The data source names a port where nothing listens, as when it names a pooler; the
        // listening link goes where ListenServername and ListenPort say, by name.
        const QString port = qEnvironmentVariable("VIMO_TEST_PG_PORT");
        const QString database = QString::fromUtf8(DataSourceKey("Database"));
        test::WriteOdbcIni(
            u"[VIMO]\nDriver=PostgreSQL ANSI\nServername=127.0.0.1\nPort=1\n"
            "Database=%1\nUsername=postgres\nListenServername=localhost\nListenPort=%2\n"_s.arg(
                database, port));

        // Names that are no SQL identifiers, and not ASCII.
        PgListener darcy(ReadListenParameters(), WakeupChannel(u"D'ARCY"_s), Lookups);
        PgListener zoe(ReadListenParameters(), WakeupChannel(u"ZOË"_s), Lookups);
        QSignalSpy darcyHeard(&darcy, &PgListener::Notified);
        QSignalSpy zoeHeard(&zoe, &PgListener::Notified);
        darcy.Start();
        zoe.Start();
        QTRY_COMPARE_WITH_TIMEOUT(darcy.CurrentState(), PgListener::State::Listening, Patience);
        QTRY_COMPARE_WITH_TIMEOUT(zoe.CurrentState(), PgListener::State::Listening, Patience);

        // Each listener hears of its own notes only, and learns nothing of them there: whoever
        // else listens on the channel must not learn the keys.
        PostTo(u"D'ARCY"_s, 1);
        PostTo(u"ZOË"_s, 2);
        PostTo(u"D'ARCY"_s, 3);
        QTRY_COMPARE_WITH_TIMEOUT(zoeHeard.count(), 1, Patience);
        QTRY_COMPARE_WITH_TIMEOUT(darcyHeard.count(), 2, Patience);
        QCOMPARE(Payloads(zoeHeard), QStringList { QString() });
        QCOMPARE(Payloads(darcyHeard), (QStringList { QString(), QString() }));
    }

    void aWakeupThroughTheBrokerReachesItsAddresseeOnly()
    {
        const quint16 port = FreePort();
        QProcess broker;
        QVERIFY2(StartBroker(broker, port), "mosquitto is not installed");
        test::WriteOdbcIni(
            u"[VIMO]\nDriver=%1\nDatabase=%2\nBroker=127.0.0.1:%3\n"_s
                .arg(QString::fromLatin1(VIMO_DRIVER_NAME), test::UseFreshSqliteStore())
                .arg(port));
        // The broker takes the place of the file watch; names that no topic takes as they are.
        StoreWakeup ann(u"ANN"_s, Lookups);
        StoreWakeup zoe(u"ZOË D'ARCY"_s, Lookups);
        QSignalSpy annWoken(&ann, &StoreWakeup::NoteMayHaveArrived);
        QSignalSpy zoeWoken(&zoe, &StoreWakeup::NoteMayHaveArrived);
        ann.Start(test::TestStore());
        zoe.Start(test::TestStore());
        QTRY_COMPARE_WITH_TIMEOUT(ann.Active(), StoreWakeup::Means::Broker, Patience);
        QTRY_COMPARE_WITH_TIMEOUT(zoe.Active(), StoreWakeup::Means::Broker, Patience);

        ann.Announce({ u"ZOË D'ARCY"_s, u"NOBODY"_s });
        QTRY_COMPARE_WITH_TIMEOUT(zoeWoken.count(), 1, Patience);
        QTest::qWait(StoreWakeup::LeastGapMs);
        QCOMPARE(annWoken.count(), 0);
        broker.terminate();
        broker.waitForFinished();
    }

    void withoutItsBrokerACopyPollsAndHearsAgainOnceItIsBack()
    {
        const quint16 port = FreePort();
        test::WriteOdbcIni(
            u"[VIMO]\nDriver=%1\nDatabase=%2\nBroker=localhost:%3\n"_s
                .arg(QString::fromLatin1(VIMO_DRIVER_NAME), test::UseFreshSqliteStore())
                .arg(port));
        StoreWakeup bob(u"BOB"_s, Lookups);
        QSignalSpy woken(&bob, &StoreWakeup::NoteMayHaveArrived);
        bob.Start(test::TestStore());
        // Nothing answers: the poll alone, with no listening link or watch in its place, and
        // a note announced meanwhile goes nowhere without a word.
        QTest::qWait(2000);
        QCOMPARE(bob.Active(), StoreWakeup::Means::None);
        bob.Announce({ u"BOB"_s });

        QProcess broker;
        QVERIFY2(StartBroker(broker, port), "mosquitto is not installed");
        QTRY_COMPARE_WITH_TIMEOUT(bob.Active(), StoreWakeup::Means::Broker, Patience);
        bob.Announce({ u"BOB"_s });
        QTRY_COMPARE_WITH_TIMEOUT(woken.count(), 1, Patience);
        broker.terminate();
        broker.waitForFinished();
    }

    void theListeningLinkVerifiesTheServerAsTheStoreLinkDoes_data()
    {
        test::Columns<QByteArray, QByteArray, QByteArray>("sslMode", "pqopt", "expected");
        QTest::addRow("against the office's root, with channel binding")
            << "verify-full"_ba
            << "sslrootcert=/etc/ca.crt channel_binding=require"_ba
            << "channel_binding=require sslmode=verify-full sslrootcert=/etc/ca.crt"_ba;
        QTest::addRow("psqlODBC's short forms of the verifying modes are theirs")
            << "vf"_ba
            << ""_ba
            << "sslmode=verify-full"_ba;
    }

    void theListeningLinkVerifiesTheServerAsTheStoreLinkDoes()
    {
        QFETCH(QByteArray, sslMode);
        QFETCH(QByteArray, pqopt);
        QFETCH(QByteArray, expected);
        const QMap<QByteArray, QByteArray> keys { { "SSLmode", sslMode }, { "pqopt", pqopt } };
        QByteArrayList told;
        for (const auto& [keyword, value] :
            ListenParametersFrom([&](const char* key) { return keys.value(key); })) {
            if (keyword.startsWith("ssl") || keyword == "channel_binding")
                told.append(keyword + '=' + value);
        }
        std::sort(told.begin(), told.end());
        QCOMPARE(told.join(' '), expected);
    }

    void aHostThatNeverAnswersIsPassedOver()
    {
        QVERIFY(test::UseFreshPostgresStore());
        test::MustExec(test::PostgresSchema());
        // A cluster's old primary whose machine stalled: it takes the connection, says nothing.
        QTcpServer stalled;
        QVERIFY(stalled.listen(QHostAddress::LocalHost));
        const QByteArray ports
            = QByteArray::number(stalled.serverPort()) + ',' + qgetenv("VIMO_TEST_PG_PORT");
        PgListener listener({ { "host", "127.0.0.1,127.0.0.1" }, { "port", ports },
                                { "dbname", DataSourceKey("Database") }, { "user", "postgres" } },
            WakeupChannel(u"BOB"_s), Lookups);
        listener.Start();
        QTRY_COMPARE_WITH_TIMEOUT(listener.CurrentState(), PgListener::State::Listening,
            PgListener::StepTimeoutMs + Patience);
    }

    void hostNamesAreLookedUpAndACancelledLookupStaysSilent()
    {
        HostLookup lookup(Lookups);
        QSignalSpy resolved(&lookup, &HostLookup::Resolved);
        lookup.Start("localhost, /run/postgresql");
        QVERIFY(resolved.wait(Patience));
        const QByteArrayList hosts = resolved.at(0).at(0).toByteArray().split(',');
        const QByteArrayList addresses = resolved.at(0).at(1).toByteArray().split(',');
        QCOMPARE(hosts.size(), addresses.size());
        QVERIFY(addresses.contains("127.0.0.1") || addresses.contains("::1"));
        QCOMPARE(hosts.last(), "/run/postgresql");
        QCOMPARE(addresses.last(), "");

        lookup.Start("localhost,no-such-host.invalid");
        QVERIFY(resolved.wait(Patience));
        QCOMPARE(resolved.at(1), (QVariantList { QByteArray(), QByteArray() }));

        lookup.Start("localhost");
        lookup.Cancel();
        QTest::qWait(500);
        QCOMPARE(resolved.size(), 2);
        // Every lookup's thread ends and is joined, cancelled or not.
        QTRY_COMPARE(Lookups.Running(), 0);
    }

    void aBurstOfNotesWakesTheCopyOnce()
    {
        QVERIFY(test::UseFreshPostgresStore());
        test::MustExec(test::PostgresSchema());
        StoreWakeup wakeup(u"BOB"_s, Lookups);
        QSignalSpy woken(&wakeup, &StoreWakeup::NoteMayHaveArrived);
        wakeup.Start(test::TestStore());
        QTRY_COMPARE_WITH_TIMEOUT(wakeup.Active(), StoreWakeup::Means::Listening, Patience);

        QString burst = u"INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,URGENCY,TKEY) VALUES "_s;
        for (int key = 1; key <= 20; ++key)
            burst += u"%1('burst','BOB','ANN',1,1,%2)"_s.arg(key > 1 ? u","_s : QString()).arg(key);
        QElapsedTimer clock;
        qint64 gap = 0;
        connect(&wakeup, &StoreWakeup::NoteMayHaveArrived, this,
            [&] { gap = clock.isValid() ? clock.restart() : (clock.start(), 0); });
        test::MustExec(burst);
        QTRY_COMPARE_WITH_TIMEOUT(woken.count(), 1, Patience);
        PostTo(u"BOB"_s, 21);
        QTRY_VERIFY_WITH_TIMEOUT(woken.count() >= 2, Patience);
        QCOMPARE(woken.count(), 2);
        // A flood of wake-ups costs one poll a second at most (a coarse timer may be 5 % early).
        QVERIFY(gap >= StoreWakeup::LeastGapMs * 9 / 10);
    }

    void aStoreWithoutTheTriggerIsLeftToThePoll()
    {
        QVERIFY(test::UseFreshPostgresStore());
        PgListener listener(ReadListenParameters(), WakeupChannel(u"BOB"_s), Lookups);
        listener.Start();
        QTRY_COMPARE_WITH_TIMEOUT(listener.CurrentState(), PgListener::State::NoTrigger, Patience);
        // It holds no connection for nothing.
        QTRY_COMPARE_WITH_TIMEOUT(
            test::FirstValue(
                u"SELECT count(*) FROM pg_stat_activity "
                "WHERE application_name = 'vimo wakeup' AND datname = current_database()"_s),
            u"0"_s, Patience);
    }

    void throughAPoolerInTransactionModeTheCopyPolls()
    {
        QVERIFY(test::UseFreshPostgresStore());
        test::MustExec(test::PostgresSchema());
        // PgBouncer on a socket of its own, in front of the suite's server.
        const QString dir = u"/tmp/vimo-bouncer-%1"_s.arg(QCoreApplication::applicationPid());
        QVERIFY(QDir().mkpath(dir));
        const auto cleanup = qScopeGuard([&] { QDir(dir).removeRecursively(); });
        QFile users(dir + u"/users.txt"_s);
        QFile config(dir + u"/pgbouncer.ini"_s);
        QVERIFY(users.open(QIODevice::WriteOnly) && config.open(QIODevice::WriteOnly));
        users.write(R"("postgres" "")"
                    "\n");
        config.write(
            u"[databases]\n* = host=127.0.0.1 port=%1\n[pgbouncer]\nlisten_addr =\n"
            "listen_port = 6432\nunix_socket_dir = %2\nauth_type = trust\n"
            "auth_file = %2/users.txt\npool_mode = transaction\n"
            "logfile = %2/pgbouncer.log\n"_s.arg(qEnvironmentVariable("VIMO_TEST_PG_PORT"), dir)
                .toUtf8());
        users.close();
        config.close();
        QStringList arguments { config.fileName() };
        if (::getuid() == 0) {
            // It will not run as root; as the server's user it needs the folder.
            QVERIFY(QProcess::execute(u"chown"_s, { u"-R"_s, u"postgres"_s, dir }) == 0);
            arguments.prepend(u"postgres"_s);
            arguments.prepend(u"-u"_s);
        }
        // Debian puts it in /usr/sbin, which an ordinary user's PATH leaves out.
        QString program = QStandardPaths::findExecutable(u"pgbouncer"_s);
        if (program.isEmpty())
            program = QStandardPaths::findExecutable(u"pgbouncer"_s, { u"/usr/sbin"_s });
        QProcess bouncer;
        bouncer.start(program.isEmpty() ? u"pgbouncer"_s : program, arguments);
        QVERIFY2(bouncer.waitForStarted(), "pgbouncer is not installed");
        const auto stop = qScopeGuard([&] {
            bouncer.terminate();
            bouncer.waitForFinished();
        });
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir + u"/.s.PGSQL.6432"_s), Patience);

        const QByteArray database = DataSourceKey("Database");
        PgParameters parameters { { "host", dir.toUtf8() }, { "port", "6432" },
            { "dbname", database }, { "user", "postgres" } };
        PgListener listener(parameters, WakeupChannel(u"BOB"_s), Lookups);
        listener.Start();
        QTRY_COMPARE_WITH_TIMEOUT(
            listener.CurrentState(), PgListener::State::NotDelivered, Patience);
    }

private:
    LookupThreads Lookups;
};

VIMO_TEST_MAIN(TestStoreWakeup, QCoreApplication)
#include "TestStoreWakeup.moc"
