#include "TestEnvironment.h"

#include "tray/StallWatch.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <memory>

using namespace vimo;

namespace {

QStringList Logged;

void Record(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    if (QLatin1String(context.category) == QLatin1String("vimo.stall"))
        Logged.append(text);
}

} // namespace

// The fault runs read the desktop's stalls from this log, on the clock of their own.
class TestStallWatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        qInstallMessageHandler(nullptr);
        QLoggingCategory::setFilterRules(QString());
        Logged.clear();
    }

    void offByDefaultNothingRuns()
    {
        QObject owner;
        StallWatch::StartIfEnabled(&owner);
        QVERIFY(owner.children().isEmpty());
    }

    void aBlockedThreadIsLoggedWithItsEndOnTheMonotonicClock()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("vimo.stall.info=true"));
        qInstallMessageHandler(Record);
        auto owner = std::make_unique<QObject>();
        StallWatch::StartIfEnabled(owner.get());
        QTest::qWait(50);
        QThread::msleep(150);
        QElapsedTimer now;
        now.start();
        QTRY_VERIFY(!Logged.isEmpty());

        static const QRegularExpression gap(QStringLiteral("^gap (\\d+) ms ending at (\\d+) ms$"));
        const QRegularExpressionMatch match = gap.match(Logged.constLast());
        QVERIFY2(match.hasMatch(), qPrintable(Logged.constLast()));
        QVERIFY(match.captured(1).toLongLong() >= 150);
        QVERIFY(qAbs(match.captured(2).toLongLong() - now.msecsSinceReference()) < 1000);

        owner.reset();
        QVERIFY(Logged.constLast().startsWith(QStringLiteral("longest gap ")));
        QVERIFY(Logged.constLast().mid(12).section(u' ', 0, 0).toLongLong() >= 150);
    }
};

VIMO_TEST_MAIN(TestStallWatch, QCoreApplication)
#include "TestStallWatch.moc"
