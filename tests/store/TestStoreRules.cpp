#include "TestEnvironment.h"

#include "store/Failures.h"
#include "store/KeyRules.h"

#include <QTest>

#include <optional>

using namespace vimo;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(vimo::FailureKind)
Q_DECLARE_METATYPE(std::optional<qint64>)

// How refusals and keys are read, apart from any store. The diagnostics are those the two
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
        row("sqlite: an extended I/O error (IOERR_READ)", "HY000", 266, LinkLost);
        row("sqlite: a share shut down under the link reads as malformed", "S1000", 11, LinkLost);
        row("sqlite: the file cannot be opened again", "S1000", 14, LinkLost);
        row("sqlite: the file was overwritten with something else", "S1000", 26, LinkLost);
        row("sqlite: locked by another copy past the busy wait", "S1000", 5, Unavailable);
        row("sqlite: disk full", "S1000", 13, Unavailable);
        row("sqlite: the unique key index", "S1000", 19, Refused, true);
        row("sqlite: no such table", "S1000", 1, Refused);
        row("postgres: server down at connect", "08001", 101, LinkLost);
        row("postgres: link gone", "08S01", 35, LinkLost);
        row("postgres: first statement after a restart", "57P01", 7, LinkLost);
        row("postgres: disk full", "53100", 7, Unavailable);
        row("postgres: the unique key index", "23505", 7, Refused, true);
        row("postgres: a key past INT", "22003", 7, Refused);
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

    void keysAreWholeNumbersWithin64Bits_data()
    {
        test::Columns<QString, std::optional<qint64>, std::optional<qint64>>("text", "key", "next");
        const std::optional<qint64> none;
        QTest::addRow("an empty table") << QString() << none << std::optional<qint64>(1);
        QTest::addRow("a key") << u"41"_s << std::optional<qint64>(41) << std::optional<qint64>(42);
        QTest::addRow("a negative key")
            << u"-3"_s << std::optional<qint64>(-3) << std::optional<qint64>(-2);
        QTest::addRow("PostgreSQL's top, whose next the column refuses")
            << u"2147483647"_s << std::optional<qint64>(2147483647)
            << std::optional<qint64>(2147483648);
        QTest::addRow("past 32 bits, never clamped")
            << u"3000000000"_s << std::optional<qint64>(3000000000)
            << std::optional<qint64>(3000000001);
        QTest::addRow("the 64-bit top: a free key is needed")
            << u"9223372036854775807"_s << std::optional<qint64>(INT64_MAX) << none;
        QTest::addRow("the 64-bit bottom")
            << u"-9223372036854775808"_s << std::optional<qint64>(INT64_MIN)
            << std::optional<qint64>(INT64_MIN + 1);
        QTest::addRow("past 64 bits") << u"9223372036854775808"_s << none << none;
        QTest::addRow("a real as SQLite gives it") << u"1.0e+20"_s << none << none;
        QTest::addRow("digits then letters") << u"77x"_s << none << none;
        QTest::addRow("letters") << u"x1"_s << none << none;
        QTest::addRow("a sign alone") << u"-"_s << none << none;
    }

    void keysAreWholeNumbersWithin64Bits()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<qint64>, key);
        QFETCH(std::optional<qint64>, next);
        if (!text.isEmpty())
            QCOMPARE(ParseKey(text), key);
        QCOMPARE(NextKeyAfter(text, 1), next);
        if (next && *next < INT64_MAX - 4)
            QCOMPARE(NextKeyAfter(text, 4), *next + 3); // a retry aims further up
    }
};

VIMO_TEST_MAIN(TestStoreRules, QCoreApplication)
#include "TestStoreRules.moc"
