#include "TestEnvironment.h"

#include "store/Failures.h"

#include <QTest>

using namespace vimo;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(vimo::FailureKind)

// How refusals are read, apart from any store. The diagnostics are those the two
// drivers gave when each fault was made for real.
class TestStoreRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void failuresAreReadByStateAndSqliteCode_data()
    {
        test::Columns<QString, int, bool, FailureKind, QString>(
            "state", "native", "newLink", "kind", "message");
        const auto row = [](const char* name, const char* state, int native, bool newLink,
                             FailureKind kind, const char* message = "message") {
            QTest::addRow("%s", name) << QString::fromLatin1(state) << native << newLink << kind
                                      << QString::fromUtf8(message);
        };
        using enum FailureKind;
        row("sqlite: written after the file was replaced, renamed or deleted", "S1000", 8, true,
            ReadOnly);
        row("sqlite: the same with extended codes (READONLY_DBMOVED)", "HY000", 1032, true,
            ReadOnly);
        row("sqlite: disk I/O error on a file made read-only", "S1000", 10, true, Unreachable);
        row("sqlite: a share shut down under the link reads as malformed", "S1000", 11, true,
            Unreachable);
        row("sqlite: the file was overwritten with something else", "S1000", 26, true, Unreachable);
        row("sqlite: locked by another copy past the busy wait", "S1000", 5, false, Unreachable);
        row("sqlite: disk full", "S1000", 13, false, Unreachable);
        row("sqlite: the unique key index", "S1000", 19, false, DuplicateKey);
        row("postgres: server down at connect", "08001", 101, true, Unreachable);
        row("postgres: first statement after a restart", "57P01", 7, true, Unreachable);
        row("postgres: a standby where the primary was", "25006", 7, true, ReadOnly);
        row("postgres: a statement that timed out", "57014", 7, false, Unreachable);
        row("postgres: the unique key index", "23505", 7, false, DuplicateKey);
        row("postgres: no such table", "42P01", 7, false, Other);
        row("postgres: a general error with a code like SQLite's is no SQLite code", "42601", 8,
            false, Other);
        row("postgres: a server certificate from another CA", "08001", 101, true, Untrusted,
            "connection to server at \"localhost\" (127.0.0.1), port 5432 failed: SSL error: "
            "certificate verify failed");
        row("postgres: a certificate for another host, in German", "08001", 101, true, Untrusted,
            "Verbindung zum Server auf »db« (10.0.0.5), Port 5432 fehlgeschlagen: "
            "Server-Zertifikat für »localhost« stimmt nicht mit dem Hostnamen »db« überein");
        row("postgres: a server without TLS where the data source demands it", "08001", 101, true,
            Untrusted, "server does not support SSL, but SSL was required");
        row("postgres: a login without the channel binding that the data source demands", "08001",
            101, true, Untrusted,
            "channel binding required, but server authenticated client without channel binding");
        row("postgres: a refused statement that names a certificate is no refused server", "22P02",
            7, false, Other, "invalid input syntax for type integer: \"certificate\"");
        row("no data source VIMO", "IM002", 0, false, NoDataSource);
        row("no diagnostic at all: there was no link", "", 0, true, Unreachable);
    }

    void failuresAreReadByStateAndSqliteCode()
    {
        QFETCH(QString, state);
        QFETCH(int, native);
        QFETCH(bool, newLink);
        QFETCH(FailureKind, kind);
        QFETCH(QString, message);
        const Diagnostic diagnostic { state, native, message };
        QCOMPARE(IsConnectionLost(diagnostic), newLink);
        QCOMPARE(MakeFailure(u"SELECT 1"_s, diagnostic).Kind, kind);
    }
};

VIMO_TEST_MAIN(TestStoreRules, QCoreApplication)
#include "TestStoreRules.moc"
