#include "TestEnvironment.h"

#include "exchange/Notifications.h"
#include "exchange/UrgentNoteWatch.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace vimo;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// What the watch needs of a note window.
class FakeNote : public QObject {
    Q_OBJECT

Q_SIGNALS:
    void Touched();
};

void WriteNotificationsSetting(const QString& value)
{
    QSettings profile(test::ProfilePath(), QSettings::IniFormat);
    if (value.isNull())
        profile.remove(u"Vimo/Notifications"_s);
    else
        profile.setValue(u"Vimo/Notifications"_s, value);
}

} // namespace

// Telling the user that notes came, and keeping red ones from being overlooked.
class TestNotifications : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void oneNotificationNamesCountAndSenders_data()
    {
        test::Columns<QList<ArrivedNote>, QString, bool>("notes", "text", "critical");
        QTest::addRow("one yellow note")
            << QList<ArrivedNote> { { u"ANN"_s, 1 } } << u"1 new Vimo from ANN"_s << false;
        QTest::addRow("a red one among three, senders once each")
            << QList<ArrivedNote> { { u"ANN"_s, 1 }, { u"BOB"_s, 3 }, { u"ANN"_s, 2 } }
            << u"3 new Vimos from ANN, BOB"_s << true;
        QList<ArrivedNote> crowd;
        for (const char* name : { "A", "B", "C", "D", "E", "F", "G" })
            crowd.append({ QString::fromLatin1(name), 2 });
        QTest::addRow("past five senders the rest are counted")
            << crowd << u"7 new Vimos from A, B, C, D, E and 2 more"_s << false;
        QTest::addRow("rows without a sender")
            << QList<ArrivedNote> { { QString(), 3 }, { QString(), 1 } } << u"2 new Vimos"_s
            << true;
    }

    void oneNotificationNamesCountAndSenders()
    {
        QFETCH(QList<ArrivedNote>, notes);
        QFETCH(QString, text);
        QFETCH(bool, critical);
        QList<NoteNotification> shown;
        const NotificationHandler previous
            = SetNotificationHandler([&](const NoteNotification& n) { shown.append(n); });
        NotifyNewNotes(notes);
        NotifyNewNotes({});
        SetNotificationHandler(previous);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].Title, u"Vimo"_s);
        QCOMPARE(shown[0].Text, text);
        QCOMPARE(shown[0].Critical, critical);
    }

    void theSettingTurnsThemOff_data()
    {
        test::Columns<QString, bool>("value", "on");
        QTest::addRow("missing: on") << QString() << true;
        QTest::addRow("true") << u"true"_s << true;
        for (const char* off : { "false", "0", "Off", "no" })
            QTest::addRow("%s", off) << QString::fromLatin1(off) << false;
    }

    void theSettingTurnsThemOff()
    {
        QFETCH(QString, value);
        QFETCH(bool, on);
        WriteNotificationsSetting(value);
        int shown = 0;
        const NotificationHandler previous
            = SetNotificationHandler([&](const NoteNotification&) { ++shown; });
        NotifyNewNotes({ { u"ANN"_s, 3 } });
        SetNotificationHandler(previous);
        WriteNotificationsSetting(QString());
        QCOMPARE(shown, on ? 1 : 0);
    }

    void untouchedRedNotesComeBackToTheFront()
    {
        UrgentNoteWatch watch(50ms);
        QSignalSpy raised(&watch, &UrgentNoteWatch::RaiseAgain);
        QSignalSpy waits(&watch, &UrgentNoteWatch::UrgentNoteWaitsChanged);
        FakeNote yellow, touched;
        auto untouched = std::make_unique<FakeNote>();
        watch.Watch(&yellow, 1);
        QVERIFY(!watch.UrgentNoteWaits());
        watch.Watch(untouched.get(), 3);
        watch.Watch(&touched, 3);
        watch.Watch(&touched, 3); // watched once only
        QVERIFY(watch.UrgentNoteWaits());
        QCOMPARE(waits.count(), 1);

        QTRY_VERIFY(raised.count() >= 4);
        const auto raisedNote = [&](int i) { return raised.at(i).at(0).value<QObject*>(); };
        QSet<QObject*> notes;
        for (int i = 0; i < raised.count(); ++i)
            notes.insert(raisedNote(i));
        QCOMPARE(notes, (QSet<QObject*> { untouched.get(), &touched }));

        Q_EMIT touched.Touched();
        raised.clear();
        QTRY_VERIFY(raised.count() >= 2);
        for (int i = 0; i < raised.count(); ++i)
            QCOMPARE(raisedNote(i), untouched.get());
        QVERIFY(watch.UrgentNoteWaits());

        // The last untouched red note goes: nothing waits any more, nothing is raised.
        untouched.reset();
        QVERIFY(!watch.UrgentNoteWaits());
        QCOMPARE(waits.count(), 2);
        QCOMPARE(waits.last().at(0).toBool(), false);
        raised.clear();
        QTest::qWait(150);
        QCOMPARE(raised.count(), 0);
    }

    void theUrgentIconCarriesARedMark()
    {
        QPixmap plain(32, 32);
        plain.fill(Qt::blue);
        const QImage marked = WithUrgentMark(QIcon(plain)).pixmap(32, 32).toImage();
        const QColor mark = marked.pixelColor(24, 8);
        QVERIFY2(
            mark.red() > 200 && mark.green() < 50 && mark.blue() < 50, qPrintable(mark.name()));
        QCOMPARE(marked.pixelColor(4, 28), QColor(Qt::blue));
        QCOMPARE(marked.pixelColor(4, 4), QColor(Qt::blue));
    }
};

VIMO_TEST_MAIN(TestNotifications, QGuiApplication)
#include "TestNotifications.moc"
