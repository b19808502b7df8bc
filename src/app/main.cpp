#include "app/CNoteApp.h"
#include "app/DesktopPlatform.h"
#include "app/StartOptions.h"
#include "app/Translations.h"
#include "tray/FreeMemory.h"
#include "widgets/AppIcon.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    vimo::UseOneHeap();
    // Before Qt starts: --help and --version need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const int status = vimo::AnswerBeforeStart(arguments); status >= 0)
        return status;
    const QByteArray platform
        = vimo::ChoosePlatform(QProcessEnvironment::systemEnvironment(), arguments);
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vimo"));
    // No display name: Qt would append it to every window title, notes and dialogs included.
    QApplication::setDesktopFileName(QStringLiteral("vimo"));
    QApplication::setWindowIcon(vimo::AppIcon());
    vimo::InstallTranslations();

    vimo::CNoteApp app(QApplication::arguments());
    app.InitInstance();
    return app.ExitStatus();
}
