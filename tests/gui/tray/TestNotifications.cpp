#include "TestEnvironment.h"

#include "delivery/UrgentNoteWatch.h"
#include "prompts/Notifications.h"
#include "tray/UrgentMark.h"

#include <QGuiApplication>
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

// The notifications that NotifyNewNotes shows for the notes, with the setting at value.
QList<NoteNotification> Notified(const QList<ArrivedNote>& notes, const QString& value = {})
{
    QSettings(test::ProfilePath(), QSettings::IniFormat).setValue(u"Vimo/Notifications"_s, value);
    QList<NoteNotification> shown;
    const NotificationHandler previous
        = SetNotificationHandler([&](const NoteNotification& n) { shown.append(n); });
    NotifyNewNotes(notes);
    SetNotificationHandler(previous);
    return shown;
}

} // namespace

// Telling the user that notes came, and keeping red ones from being overlooked.
class TestNotifications : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void oneNotificationNamesCountAndSenders()
    {
        const QList<NoteNotification> one = Notified({ { u"ANN"_s, 1 } });
        QCOMPARE(one.size(), 1);
        QCOMPARE(one[0].Text, u"1 new Vimo from ANN"_s);
        QVERIFY(!one[0].Critical);

        const QList<NoteNotification> three
            = Notified({ { u"ANN"_s, 1 }, { u"BOB"_s, 3 }, { u"ANN"_s, 2 } });
        QCOMPARE(three.size(), 1);
        QCOMPARE(three[0].Text, u"3 new Vimos from ANN, BOB"_s);
        QCOMPARE(three[0].Unnamed, u"3 new Vimos"_s); // for the tray's message
        QVERIFY(three[0].Critical);

        QList<ArrivedNote> crowd;
        for (const char* name : { "A", "B", "C", "D", "E", "F", "G" })
            crowd.append({ QString::fromLatin1(name), 2 });
        QCOMPARE(Notified(crowd).value(0).Text, u"7 new Vimos from A, B, C, D, E and 2 more"_s);
        QCOMPARE(Notified({}).size(), 0);
    }

    void theSettingTurnsThemOff()
    {
        QCOMPARE(Notified({ { u"ANN"_s, 3 } }, u"true"_s).size(), 1);
        for (const char* off : { "false", "0", "Off", "no" })
            QCOMPARE(Notified({ { u"ANN"_s, 3 } }, QString::fromLatin1(off)).size(), 0);
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
        QVERIFY(watch.UrgentNoteWaits());
        QCOMPARE(waits.count(), 1);

        const auto raisedNotes = [&] {
            QSet<QObject*> notes;
            for (const QList<QVariant>& signal : std::as_const(raised))
                notes.insert(signal.at(0).value<QObject*>());
            return notes;
        };
        QTRY_COMPARE(raisedNotes(), (QSet<QObject*> { untouched.get(), &touched }));

        Q_EMIT touched.Touched();
        raised.clear();
        QTRY_VERIFY(raised.count() >= 2);
        QCOMPARE(raisedNotes(), QSet<QObject*> { untouched.get() });

        // The last untouched red note goes: nothing waits any more, nothing is raised.
        untouched.reset();
        QCOMPARE(waits.count(), 2);
        QVERIFY(!watch.UrgentNoteWaits());
        raised.clear();
        QTest::qWait(150);
        QCOMPARE(raised.count(), 0);
    }

    void theUrgentIconCarriesARedMark()
    {
        QPixmap plain(32, 32);
        plain.fill(Qt::blue);
        const QImage marked = WithUrgentMark(QIcon(plain)).pixmap(32, 32).toImage();
        QCOMPARE(marked.pixelColor(24, 8), QColor(220, 0, 0));
        QCOMPARE(marked.pixelColor(4, 28), QColor(Qt::blue));
    }
};

VIMO_TEST_MAIN(TestNotifications, QGuiApplication)
#include "TestNotifications.moc"
