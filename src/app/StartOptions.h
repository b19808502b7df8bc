#pragma once

#include <QString>
#include <QStringList>

namespace vimo {

// What a start asks of the copy that runs for this user and session: the tray menu's
// commands, reachable without a tray. Login, the start at login, asks nothing of a copy that
// runs already.
enum class DesktopCommand { None, New, ShowAll, HideAll, Quit, Login, Sent };

struct StartOptions {
    enum class Outcome { Run, Help, Version, Error };
    Outcome Result = Outcome::Run;
    DesktopCommand Command = DesktopCommand::None;
    // Why the command line was refused, for Outcome::Error.
    QString Error;
    // --group NAME[=MEMBER,...]: shows or changes one group, then ends; no tray, no sign-in.
    QString Group;
};

// Reads the command line (the program's own name first) before anything else starts, so
// --help and --version answer without a display. Data-file paths, the shell's "/dde"-style
// switches and Qt's own options pass; any other option is an error.
StartOptions ParseStartOptions(const QStringList& arguments);

// Answers --help and --version on standard output, and a refused command line on standard
// error. Returns the exit status when the program ends here (0, or 2 for a refusal), -1 when
// it is to start.
int AnswerBeforeStart(const QStringList& arguments);

QString HelpText();
QString VersionText();

// The word a command travels as between two starts, and back; an unknown word gives None.
QString CommandWord(DesktopCommand command);
DesktopCommand CommandFromWord(const QString& word);

} // namespace vimo
