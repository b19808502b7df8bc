#include "app/CNoteApp.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vimo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vimo"));
    QApplication::setDesktopFileName(QStringLiteral("vimo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vimo.png")));

    vimo::CNoteApp app(QApplication::arguments());
    app.InitInstance();
    return 0;
}
