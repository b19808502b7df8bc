#include "TestEnvironment.h"

#include "model/DateStamp.h"

#include <QTest>

using namespace vimo;
using namespace Qt::StringLiterals;

// The day stamp stored with every note, and the date texts it is read from.
class TestDateStamp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stampOfAGivenDay_data()
    {
        test::Columns<QDate, QString, QString>("day", "stamp", "text");
        QTest::addRow("6 December 2026") << QDate(2026, 12, 6) << u"20261206"_s << u"12/06/2026"_s;
        QTest::addRow("1 January 2027") << QDate(2027, 1, 1) << u"20270101"_s << u"01/01/2027"_s;
        QTest::addRow("29 February 2028") << QDate(2028, 2, 29) << u"20280229"_s << u"02/29/2028"_s;
    }

    void stampOfAGivenDay()
    {
        QFETCH(QDate, day);
        QFETCH(QString, stamp);
        QFETCH(QString, text);
        test::AlertRecorder alerts;
        QCOMPARE(MakeDateStamp(day), stamp);
        QCOMPARE(DateText(day), text);
        QCOMPARE(alerts.Alerts, QStringList());
    }

    void todaysStampIsAValidEightDigitNumber()
    {
        test::AlertRecorder alerts;
        const QString stamp = MakeDateStamp();
        QCOMPARE(stamp.size(), 8);
        QVERIFY(stamp.toInt() > 20240000);
        QCOMPARE(alerts.Alerts, QStringList());
    }

    void parseDateText_data()
    {
        test::Columns<QString, int, bool>("text", "stamp", "refused");
        QTest::addRow("month 13 is refused") << u"13/01/2026"_s << 0 << true;
        QTest::addRow("day 32 is refused") << u"01/32/2026"_s << 0 << true;
        QTest::addRow("negative day is refused") << u"01/-1/2026"_s << 0 << true;
        QTest::addRow("day checked against 31 only") << u"02/31/2026"_s << 20260231 << false;
        QTest::addRow("month and day 0 pass") << u"00/00/0000"_s << 0 << false;
        QTest::addRow("empty text, silently") << QString() << 0 << false;
        QTest::addRow("two-digit year used as it is") << u"12/06/26"_s << 261206 << false;
        QTest::addRow("separators are not checked") << u"12-06-2026"_s << 20261206 << false;
        QTest::addRow("short text: missing pieces are 0") << u"12"_s << 1200 << false;
        QTest::addRow("letters read as 0") << u"ab/cd/efgh"_s << 0 << false;
        QTest::addRow("year piece stops after four characters")
            << u"12/06/202699"_s << 20261206 << false;
    }

    void parseDateText()
    {
        QFETCH(QString, text);
        QFETCH(int, stamp);
        QFETCH(bool, refused);
        QCOMPARE(ParseDateText(text), refused ? std::nullopt : std::optional(stamp));
    }
};

VIMO_TEST_MAIN(TestDateStamp, QCoreApplication)
#include "TestDateStamp.moc"
