#include "app/CNoteApp.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vimo"));
    // No display name: Qt would append it to every window title, notes and dialogs included.
    QApplication::setDesktopFileName(QStringLiteral("vimo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vimo.png")));

    vimo::CNoteApp app(QApplication::arguments());
    app.InitInstance();
    return 0;
}
