#include "TestEnvironment.h"

#include "store/Statements.h"
#include "store/StoreSql.h"
#include "store/UserTable.h"
#include "wakeup/DataSourceKeys.h"
#include "wakeup/LookupThreads.h"
#include "wakeup/PgListener.h"
#include "wakeup/StoreWakeup.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace vimo;
using namespace Qt::StringLiterals;

namespace {

// A port nobody listens on now: the kernel's pick for an ephemeral bind.
int FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

} // namespace

// A running copy survives a restart of its PostgreSQL server. The server is this test's own:
// the suite's server serves other tests meanwhile.
class TestReconnect : public QObject {
    Q_OBJECT

public:
    ~TestReconnect() override { StopServer(); }

private Q_SLOTS:
    void initTestCase()
    {
        Port = FreePort();
        QVERIFY(Port > 0);
        // Outside the test's private folder: the server runs as another user.
        Dir = u"/tmp/vimo-pgreconnect-%1"_s.arg(QCoreApplication::applicationPid());
        QVERIFY2(Fixture({ u"start"_s, Dir, QString::number(Port) }), "cannot start PostgreSQL");
        Started = true;
        test::WriteOdbcIni(u"[VIMO]\nDriver=PostgreSQL ANSI\nServername=127.0.0.1\nPort=%1\n"
                           "Database=postgres\nUsername=postgres\nPassword=\n"
                           "ConnSettings=SET client_encoding TO 'UTF8'\n"_s.arg(Port));
        QVERIFY(test::TestStore().Connect().Succeeded());
        test::MustExec(u"CREATE TABLE USRS(RECIPIENT CHAR(15))"_s);
        test::MustExec(u"INSERT INTO USRS (RECIPIENT) VALUES('ANN')"_s);
    }

    void cleanupTestCase() { StopServer(); }

    void theNextStatementAfterARestartSucceeds()
    {
        Store& store = test::TestStore();
        QVERIFY(Fixture({ u"restart"_s, Dir }));
        QVERIFY(UserTable(store).Add(u"BOB"_s).Succeeded());

        QVERIFY(Fixture({ u"restart"_s, Dir }));
        const StoreResult<QString> count
            = StoreSql(store).FirstValue(u"SELECT COUNT(*) FROM USRS"_s);
        QVERIFY(count.Succeeded());
        QCOMPARE(count.Value, u"2"_s);
    }

    void aServerThatIsDownForAWhileIsFoundAgain()
    {
        Store& store = test::TestStore();
        QVERIFY(Fixture({ u"stop"_s, Dir }));
        const StoreResult<> refused = UserTable(store).Add(u"CY"_s);
        QVERIFY(refused.Failure);
        QVERIFY2(refused.Failure->Kind == FailureKind::Unreachable,
            qPrintable(refused.Failure->Error.State));
        // Down is a failure, never an empty answer.
        QVERIFY(!StoreSql(store).FirstValue(u"SELECT 1"_s).Succeeded());

        // The server comes back, as a new empty one on the same port.
        QVERIFY(Fixture({ u"start"_s, Dir, QString::number(Port) }));
        QCOMPARE(StoreSql(store).FirstValue(u"SELECT 1"_s).Value, u"1"_s);
        QVERIFY(StoreSql(store).Exec(u"CREATE TABLE USRS(RECIPIENT CHAR(15))"_s).Succeeded());
    }

    // The link that listens for notes comes back by itself, and has the copy poll once for
    // what came while it was away.
    void theListeningLinkComesBackAfterARestart()
    {
        test::MustExec(test::PostgresSchema());
        PgListener listener(ReadListenParameters(), WakeupChannel(u"ANN"_s), Lookups);
        QSignalSpy heard(&listener, &PgListener::Notified);
        QSignalSpy states(&listener, &PgListener::StateChanged);
        listener.Start();
        QTRY_COMPARE_WITH_TIMEOUT(listener.CurrentState(), PgListener::State::Listening, 30000);

        states.clear();
        QVERIFY(Fixture({ u"restart"_s, Dir }));
        QTRY_COMPARE_WITH_TIMEOUT(states.count(), 2, 60000);
        QCOMPARE(states.at(0).at(0).value<PgListener::State>(), PgListener::State::Connecting);
        QCOMPARE(states.at(1).at(0).value<PgListener::State>(), PgListener::State::Listening);
        QCOMPARE(heard.count(), 1);
        QCOMPARE(heard.at(0).at(0).toByteArray(), QByteArray());

        test::MustExec(PostStatement(u"hi"_s, u"ANN"_s, u"BOB"_s, u"1"_s, 7, u'1'));
        QTRY_COMPARE_WITH_TIMEOUT(heard.count(), 2, 30000);
        // The announcement names no key: the poll learns what came.
        QCOMPARE(heard.at(1).at(0).toByteArray(), QByteArray());
    }

private:
    bool Fixture(const QStringList& arguments)
    {
        QProcess fixture;
        fixture.setProcessChannelMode(QProcess::ForwardedChannels);
        fixture.start(QStringLiteral(VIMO_TEST_PG_FIXTURE_SCRIPT), arguments);
        return fixture.waitForFinished(120000) && fixture.exitStatus() == QProcess::NormalExit
            && fixture.exitCode() == 0;
    }

    void StopServer()
    {
        if (!Started)
            return;
        Started = false;
        test::TestStore().Close();
        Fixture({ u"stop"_s, Dir });
        QProcess::execute(u"rm"_s, { u"-rf"_s, Dir });
    }

    LookupThreads Lookups;
    int Port = 0;
    QString Dir;
    bool Started = false;
};

VIMO_TEST_MAIN(TestReconnect, QCoreApplication)
#include "TestReconnect.moc"
