#include "TestEnvironment.h"

#include "tray/DesktopNotifier.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace vimo;
using namespace Qt::StringLiterals;

namespace {

// The desktop's notification service as far as Vimo uses it: it records every Notify.
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call {
        QString App;
        QString Summary;
        QString Body;
        QVariantMap Hints;
        int Timeout = 0;
        QStringList Actions;
    };
    QList<Call> Calls;
    QStringList Capabilities { u"body"_s, u"body-markup"_s, u"actions"_s };

public Q_SLOTS:
    QStringList GetCapabilities() { return Capabilities; }

    uint Notify(const QString& app, uint, const QString&, const QString& summary,
        const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout)
    {
        Calls.append({ app, summary, body, hints, timeout, actions });
        return uint(Calls.size());
    }

Q_SIGNALS:
    void ActionInvoked(uint, const QString&);
    void NotificationClosed(uint, uint);
};

} // namespace

// Notifications through a notification service on a session bus of the test's own, and the
// tray message where no service answers.
class TestDesktopNotifier : public QObject {
    Q_OBJECT

    QTemporaryDir BusFolder;
    QProcess Daemon;
    QString Address;

    QDBusConnection Connect(const QString& name)
    {
        return QDBusConnection::connectToBus(Address, name);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // No service folder: a notification daemon installed on the machine must not answer.
        QFile config(BusFolder.filePath(u"bus.conf"_s));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><policy "
                     "context='default'><allow send_destination='*' eavesdrop='true'/><allow "
                     "eavesdrop='true'/><allow own='*'/></policy></busconfig>");
        config.close();
        Daemon.start(u"dbus-daemon"_s,
            { u"--config-file="_s + config.fileName(), u"--nofork"_s, u"--print-address=1"_s });
        QVERIFY2(Daemon.waitForStarted(), "dbus-daemon (package dbus-daemon) is needed");
        QTRY_VERIFY(Daemon.canReadLine());
        Address = QString::fromUtf8(Daemon.readLine()).trimmed();
        QVERIFY(Connect(u"client"_s).isConnected());
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(u"client"_s);
        QDBusConnection::disconnectFromBus(u"service"_s);
        Daemon.terminate();
        Daemon.waitForFinished();
    }

    void theServiceShowsThemRedOnesCritical()
    {
        FakeNotificationService service;
        QDBusConnection serviceBus = Connect(u"service"_s);
        QVERIFY(serviceBus.registerObject(
            u"/org/freedesktop/Notifications"_s, &service, QDBusConnection::ExportAllSlots));
        QVERIFY(serviceBus.registerService(u"org.freedesktop.Notifications"_s));
        int fellBack = 0;
        {
            // The handler while it lives.
            DesktopNotifier notifier(
                [&](const NoteNotification&) { ++fellBack; }, Connect(u"client"_s));
            ShowNotification({ u"Vimo"_s, u"2 new Vimos from ANN, BOB"_s, true });
            ShowNotification({ u"Vimo"_s, u"1 new Vimo from <img src=\"/dev/zero\">"_s, false });
            QTRY_COMPARE(service.Calls.size(), 2);
            QTRY_VERIFY(NotificationsAnnounceNotes()); // new notes need not announce themselves
        }
        QVERIFY(!NotificationsAnnounceNotes());
        ShowNotification({ u"Vimo"_s, u"nobody shows this"_s, true });
        QTest::qWait(100);
        QCOMPARE(service.Calls.size(), 2);
        QCOMPARE(fellBack, 0);
        serviceBus.unregisterService(u"org.freedesktop.Notifications"_s);
        serviceBus.unregisterObject(u"/org/freedesktop/Notifications"_s);

        QCOMPARE(service.Calls[0].App, u"Vimo"_s);
        QCOMPARE(service.Calls[0].Summary, u"Vimo"_s);
        QCOMPARE(service.Calls[0].Body, u"2 new Vimos from ANN, BOB"_s);
        // Names come from the store, and the body is markup to this service.
        QCOMPARE(service.Calls[1].Body, u"1 new Vimo from &lt;img src=&quot;/dev/zero&quot;&gt;"_s);
        QCOMPARE(service.Calls[0].Timeout, -1);
        // A byte, as the service reads it: a wider number is ignored by some.
        const QVariant urgency = service.Calls[0].Hints.value(u"urgency"_s);
        QCOMPARE(urgency.metaType(), QMetaType::fromType<uchar>());
        QCOMPARE(urgency.value<uchar>(), uchar(2));
        QCOMPARE(service.Calls[1].Hints.value(u"urgency"_s).value<uchar>(), uchar(1));
    }

    // "Undo" after a deletion: pressed once it acts once; where the service shows no buttons
    // the caller is told instead, and the tray's message is not shown.
    void aButtonActsOnceOrIsLeftToTheCaller()
    {
        FakeNotificationService service;
        QDBusConnection serviceBus = Connect(u"service"_s);
        QVERIFY(serviceBus.registerObject(u"/org/freedesktop/Notifications"_s, &service,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        QVERIFY(serviceBus.registerService(u"org.freedesktop.Notifications"_s));
        const auto unregister = qScopeGuard([&] {
            serviceBus.unregisterService(u"org.freedesktop.Notifications"_s);
            serviceBus.unregisterObject(u"/org/freedesktop/Notifications"_s);
        });
        int fellBack = 0;
        int undone = 0;
        int missed = 0;
        NoteNotification undo { u"Vimo"_s, u"The note from ANN is deleted."_s };
        undo.ActionLabel = u"Undo"_s;
        undo.Action = [&] { ++undone; };
        undo.Missed = [&] { ++missed; };
        {
            DesktopNotifier notifier(
                [&](const NoteNotification&) { ++fellBack; }, Connect(u"client"_s));
            QTRY_VERIFY(NotificationsAnnounceNotes());
            QTest::qWait(100); // the capabilities' answer
            notifier.Show(undo);
            notifier.Show(undo);
            QTRY_COMPARE(service.Calls.size(), 2);
            QCOMPARE(service.Calls[0].Actions.size(), 2);
            QCOMPARE(service.Calls[0].Actions[1], u"Undo"_s);
            const QString key = service.Calls[0].Actions[0];
            Q_EMIT service.ActionInvoked(1, u"default"_s); // a click beside the button
            Q_EMIT service.ActionInvoked(2, key);
            Q_EMIT service.ActionInvoked(2, key);
            QTRY_COMPARE(undone, 1);
            Q_EMIT service.NotificationClosed(1, 1);
            Q_EMIT service.ActionInvoked(1, key);
            QTest::qWait(100);
            QCOMPARE(undone, 1);
        }
        service.Capabilities.removeAll(u"actions"_s);
        DesktopNotifier withoutButtons(
            [&](const NoteNotification&) { ++fellBack; }, Connect(u"client"_s));
        QTRY_VERIFY(NotificationsAnnounceNotes());
        QTest::qWait(100);
        withoutButtons.Show(undo);
        QTRY_COMPARE(missed, 1);
        QCOMPARE(service.Calls.size(), 2);
        QCOMPARE(fellBack, 0);
    }

    // A desktop without a notification service, and a session without a bus.
    void otherwiseTheFallbackShowsThem()
    {
        QList<NoteNotification> fellBack;
        const auto record = [&](const NoteNotification& n) { fellBack.append(n); };
        DesktopNotifier withoutService(record, Connect(u"client"_s));
        withoutService.Show({ u"Vimo"_s, u"1 new Vimo from ANN"_s, true });
        QTRY_COMPARE(fellBack.size(), 1);
        QCOMPARE(fellBack[0].Text, u"1 new Vimo from ANN"_s);
        QVERIFY(fellBack[0].Critical);

        DesktopNotifier withoutBus(record, QDBusConnection(u"no such bus"_s));
        withoutBus.Show({ u"Vimo"_s, u"2 new Vimos"_s, false });
        QCOMPARE(fellBack.size(), 2);
    }
};

VIMO_TEST_MAIN(TestDesktopNotifier, QApplication)
#include "TestDesktopNotifier.moc"
