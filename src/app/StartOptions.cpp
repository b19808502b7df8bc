#include "app/StartOptions.h"

#include "app/CommandLine.h"
#include "app/Translations.h"

#include <QCoreApplication>

#include <array>
#include <cstdio>

namespace vimo {
namespace {

struct NamedCommand {
    QStringView Option;
    QStringView Word;
    DesktopCommand Command;
};

constexpr std::array<NamedCommand, 6> Commands { {
    { u"--new", u"new", DesktopCommand::New },
    { u"--sent", u"sent", DesktopCommand::Sent },
    { u"--show-all", u"show-all", DesktopCommand::ShowAll },
    { u"--hide-all", u"hide-all", DesktopCommand::HideAll },
    { u"--quit", u"quit", DesktopCommand::Quit },
    { u"--login", u"login", DesktopCommand::Login },
} };

// Qt takes these itself when the application object is made; they have to pass here.
constexpr std::array<QStringView, 13> QtOptionsWithValue { u"platform", u"platformpluginpath",
    u"platformtheme", u"plugin", u"qwindowgeometry", u"qwindowicon", u"qwindowtitle", u"session",
    u"display", u"geometry", u"style", u"stylesheet", u"qmljsdebugger" };
constexpr std::array<QStringView, 5> QtFlags { u"reverse", u"widgetcount", u"nograb", u"dograb",
    u"sync" };

template <std::size_t N> bool Contains(const std::array<QStringView, N>& names, QStringView name)
{
    for (QStringView known : names) {
        if (known == name)
            return true;
    }
    return false;
}

StartOptions Refuse(const QString& why)
{
    StartOptions options;
    options.Result = StartOptions::Outcome::Error;
    options.Error = why
        + QCoreApplication::translate("StartOptions", "\nTry 'vimo --help' for more information.");
    return options;
}

} // namespace

StartOptions ParseStartOptions(const QStringList& arguments)
{
    StartOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"--help" || argument == u"-h") {
            options.Result = StartOptions::Outcome::Help;
            return options;
        }
        if (argument == u"--version") {
            options.Result = StartOptions::Outcome::Version;
            return options;
        }
        // Paths, and the shell's "/dde"-style switches, which change nothing.
        if (!argument.startsWith(u'-') || IsSwitch(QLatin1Char('/') + argument.mid(1)))
            continue;

        if (argument == u"--group" || argument.startsWith(u"--group=")) {
            const bool joined = argument.startsWith(u"--group=");
            if (!joined && ++i >= arguments.size())
                return Refuse(
                    QCoreApplication::translate("StartOptions", "vimo: option '%1' needs a value")
                        .arg(argument));
            options.Group = joined ? argument.mid(8) : arguments[i];
            continue;
        }
        bool command = false;
        for (const NamedCommand& named : Commands) {
            if (argument == named.Option) {
                options.Command = named.Command;
                command = true;
            }
        }
        if (command)
            continue;

        // Qt reads "-name" and "--name", and "-name=value" for some.
        QStringView name = QStringView(argument).mid(argument.startsWith(u"--") ? 2 : 1);
        const qsizetype equals = name.indexOf(u'=');
        if (Contains(QtOptionsWithValue, name.left(equals))) {
            if (equals < 0 && ++i >= arguments.size())
                return Refuse(
                    QCoreApplication::translate("StartOptions", "vimo: option '%1' needs a value")
                        .arg(argument));
            continue;
        }
        if (Contains(QtFlags, name))
            continue;
        return Refuse(
            QCoreApplication::translate("StartOptions", "vimo: unknown option '%1'").arg(argument));
    }
    return options;
}

int AnswerBeforeStart(const QStringList& arguments)
{
    if (ParseStartOptions(arguments).Result == StartOptions::Outcome::Run)
        return -1;
    // The answer in the user's language, which needs an application object: one without any
    // display, for the moment it takes.
    int argc = 1;
    char name[] = "vimo";
    char* argv[] = { name, nullptr };
    const QCoreApplication application(argc, argv);
    InstallTranslations();
    const StartOptions options = ParseStartOptions(arguments);
    switch (options.Result) {
    case StartOptions::Outcome::Run:
        return -1;
    case StartOptions::Outcome::Help:
        std::fputs(HelpText().toLocal8Bit().constData(), stdout);
        return 0;
    case StartOptions::Outcome::Version:
        std::fputs(VersionText().toLocal8Bit().constData(), stdout);
        return 0;
    case StartOptions::Outcome::Error:
        std::fputs((options.Error + u'\n').toLocal8Bit().constData(), stderr);
        return 2;
    }
    return -1;
}

QString HelpText()
{
    return QCoreApplication::translate("StartOptions",
        "Usage: vimo [OPTION] [DATA-FILE]\n"
        "Post short notes to colleagues on the office network, and receive theirs as small\n"
        "coloured windows on the desktop.\n"
        "\n"
        "DATA-FILE is a shared Vimo data file (*.vmo). It is used only when the data source\n"
        "\"VIMO\" does not open; Vimo then registers \"VIMO\" for it.\n"
        "\n"
        "Vimo runs once for each user on each desktop. Started again, it opens the running\n"
        "copy's \"New Vimo\" dialog. These options give the running copy a command of its tray\n"
        "menu, also where the desktop shows no tray:\n"
        "      --new        write a note (starts Vimo when it does not run)\n"
        "      --sent       list the notes sent (starts Vimo when it does not run)\n"
        "      --show-all   show every hidden note (starts Vimo when it does not run)\n"
        "      --hide-all   hide every note\n"
        "      --quit       end the running copy\n"
        "      --login      the start at login: nothing when Vimo runs already\n"
        "      --group NAME[=USER,...]\n"
        "                   print a group's members, or give the group exactly these\n"
        "                   members (none removes it), then exit\n"
        "  -h, --help       print this help and exit\n"
        "      --version    print the version and exit\n"
        "\n"
        "Qt's own options (-platform, -display, -style, ...) are accepted as well.\n"
        "Files and environment: see vimo(1).\n");
}

QString VersionText()
{
    return QStringLiteral("vimo " VIMO_VERSION "\n");
}

QString CommandWord(DesktopCommand command)
{
    for (const NamedCommand& named : Commands) {
        if (named.Command == command)
            return named.Word.toString();
    }
    return QString();
}

DesktopCommand CommandFromWord(const QString& word)
{
    for (const NamedCommand& named : Commands) {
        if (named.Word == word)
            return named.Command;
    }
    return DesktopCommand::None;
}

} // namespace vimo
