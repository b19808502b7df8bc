#include "TestEnvironment.h"

#include "app/DesktopPlatform.h"
#include "app/StartOptions.h"

#include <QTest>

using namespace vimo;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(vimo::StartOptions::Outcome)
Q_DECLARE_METATYPE(vimo::DesktopCommand)

// What a start reads from its command line and its environment before Qt starts.
class TestStartOptions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commandLine_data()
    {
        using Outcome = StartOptions::Outcome;
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<DesktopCommand>("command");
        const auto row = [](const char* name, QStringList arguments, Outcome outcome,
                             DesktopCommand command = DesktopCommand::None) {
            arguments.prepend(u"vimo"_s);
            QTest::addRow("%s", name) << arguments << outcome << command;
        };
        row("no argument starts", {}, Outcome::Run);
        row("a data file starts", { u"office.vmo"_s }, Outcome::Run);
        row("an absolute data file starts", { u"/srv/office.vmo"_s }, Outcome::Run);
        row("the shell's switches pass, with / or -",
            { u"/dde"_s, u"-p"_s, u"/PT"_s, u"-Embedding"_s, u"a.vmo"_s }, Outcome::Run);
        row("Qt's options pass with their values",
            { u"-platform"_s, u"xcb"_s, u"--style=fusion"_s, u"-reverse"_s }, Outcome::Run);
        row("--help answers", { u"a.vmo"_s, u"--help"_s }, Outcome::Help);
        row("-h answers", { u"-h"_s }, Outcome::Help);
        row("--version answers", { u"--version"_s }, Outcome::Version);
        row("--help wins over an unknown option after it", { u"--help"_s, u"--bogus"_s },
            Outcome::Help);
        row("an unknown long option is refused", { u"--bogus"_s }, Outcome::Error);
        row("an unknown short option is refused", { u"-x"_s }, Outcome::Error);
        row("a Qt option without its value is refused", { u"-platform"_s }, Outcome::Error);
        row("a tray command with a data file", { u"--new"_s, u"a.vmo"_s }, Outcome::Run,
            DesktopCommand::New);
        row("the last tray command counts", { u"--hide-all"_s, u"--quit"_s }, Outcome::Run,
            DesktopCommand::Quit);
        row("the start at login", { u"--login"_s }, Outcome::Run, DesktopCommand::Login);
        row("the list of notes sent", { u"--sent"_s }, Outcome::Run, DesktopCommand::Sent);
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(StartOptions::Outcome, outcome);
        QFETCH(DesktopCommand, command);
        const StartOptions options = ParseStartOptions(arguments);
        QCOMPARE(options.Result, outcome);
        QCOMPARE(options.Command, command);
        QCOMPARE(options.Error.isEmpty(), outcome != StartOptions::Outcome::Error);
        if (outcome == StartOptions::Outcome::Error)
            QVERIFY2(options.Error.contains(arguments.last()), qPrintable(options.Error));
    }

    void platform_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("platform");
        const QByteArray qtChooses;
        QTest::addRow("X11: Qt's own choice")
            << QStringList { u"DISPLAY=:0"_s } << QStringList() << qtChooses;
        QTest::addRow("Wayland with XWayland: xcb") << QStringList { u"WAYLAND_DISPLAY=wayland-0"_s,
            u"DISPLAY=:0"_s } << QStringList() << QByteArray("xcb");
        QTest::addRow("a Wayland session type with XWayland: xcb")
            << QStringList { u"XDG_SESSION_TYPE=wayland"_s, u"DISPLAY=:1"_s } << QStringList()
            << QByteArray("xcb");
        QTest::addRow("Wayland without XWayland: Qt's own choice")
            << QStringList { u"WAYLAND_DISPLAY=wayland-0"_s } << QStringList() << qtChooses;
        QTest::addRow("the user's QT_QPA_PLATFORM wins") << QStringList {
            u"WAYLAND_DISPLAY=wayland-0"_s, u"DISPLAY=:0"_s, u"QT_QPA_PLATFORM=wayland"_s
        } << QStringList() << qtChooses;
        QTest::addRow("the user's -platform wins")
            << QStringList { u"WAYLAND_DISPLAY=wayland-0"_s, u"DISPLAY=:0"_s }
            << QStringList { u"vimo"_s, u"-platform"_s, u"wayland"_s } << qtChooses;
    }

    void platform()
    {
        QFETCH(QStringList, environment);
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, platform);
        QProcessEnvironment variables;
        for (const QString& variable : environment)
            variables.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
        QCOMPARE(ChoosePlatform(variables, arguments), platform);
    }
};

VIMO_TEST_MAIN(TestStartOptions, QCoreApplication)
#include "TestStartOptions.moc"
