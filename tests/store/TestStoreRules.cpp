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
        test::Columns<QString, int, FailureKind, bool>("state", "native", "kind", "duplicate");
        const auto row = [](const char* name, const char* state, int native, FailureKind kind,
                             bool duplicate = false) {
            QTest::addRow("%s", name) << QString::fromLatin1(state) << native << kind << duplicate;
        };
        using enum FailureKind;
        row("sqlite: written after the file was replaced, renamed or deleted", "S1000", 8,
            LinkLost);
        row("sqlite: the same with extended codes (READONLY_DBMOVED)", "HY000", 1032, LinkLost);
        row("sqlite: disk I/O error on a file made read-only", "S1000", 10, LinkLost);
        row("sqlite: a share shut down under the link reads as malformed", "S1000", 11, LinkLost);
        row("sqlite: the file was overwritten with something else", "S1000", 26, LinkLost);
        row("sqlite: locked by another copy past the busy wait", "S1000", 5, Unavailable);
        row("sqlite: disk full", "S1000", 13, Unavailable);
        row("sqlite: the unique key index", "S1000", 19, Refused, true);
        row("postgres: server down at connect", "08001", 101, LinkLost);
        row("postgres: first statement after a restart", "57P01", 7, LinkLost);
        row("postgres: the unique key index", "23505", 7, Refused, true);
        row("postgres: no such table", "42P01", 7, Refused);
        row("postgres: a general error with a code like SQLite's is no SQLite code", "42601", 8,
            Refused);
        row("no diagnostic at all: there was no link", "", 0, LinkLost);
    }

    void failuresAreReadByStateAndSqliteCode()
    {
        QFETCH(QString, state);
        QFETCH(int, native);
        QFETCH(FailureKind, kind);
        QFETCH(bool, duplicate);
        const Diagnostic diagnostic { state, native, u"message"_s };
        QCOMPARE(ClassifyFailure(diagnostic), kind);
        QCOMPARE(IsConnectionLost(diagnostic), kind == FailureKind::LinkLost);
        QCOMPARE(IsStoreUnreachable(diagnostic), kind != FailureKind::Refused);
        QCOMPARE(IsDuplicateKey(diagnostic), duplicate);
    }
};

VIMO_TEST_MAIN(TestStoreRules, QCoreApplication)
#include "TestStoreRules.moc"
