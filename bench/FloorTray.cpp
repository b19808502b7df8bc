// The floor of our stack: the least a Qt program does to ask for a name and then live in the
// tray. The suite measures Vimo against it.
//   vimo_bench_floor [WINDOWS]
//   vimo_bench_floor_store [WINDOWS]
// After the name is entered it shows its tray icon, and WINDOWS small coloured windows
// (100 x 100, borderless, one line of text) as Vimo shows its notes. Built as
// vimo_bench_floor_store it also holds what a copy cannot do without: a link to the data
// source "VIMO" through unixODBC, on which it has run one poll.

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include <memory>
#include <vector>

#ifdef VIMO_FLOOR_WITH_STORE
#include <sql.h>
#include <sqlext.h>

namespace {

// Connects to "VIMO" and reads one poll's rows; the handles stay open until the end.
bool OpenStoreAndPoll()
{
    SQLHENV environment = SQL_NULL_HENV;
    SQLHDBC connection = SQL_NULL_HDBC;
    SQLHSTMT statement = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment);
    SQLSetEnvAttr(
        environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection);
    SQLCHAR dataSource[] = "DSN=VIMO";
    if (!SQL_SUCCEEDED(SQLDriverConnect(
            connection, nullptr, dataSource, SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)))
        return false;
    SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement);
    SQLCHAR poll[] = "SELECT TKEY FROM MSGS WHERE RECIPIENT='ANN'";
    if (!SQL_SUCCEEDED(SQLExecDirect(statement, poll, SQL_NTS)))
        return false;
    while (SQL_SUCCEEDED(SQLFetch(statement))) { }
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return true;
}

} // namespace
#endif

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const int windows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 0;

    QDialog signIn;
    signIn.setWindowTitle(QStringLiteral("Floor sign-in"));
    auto* layout = new QVBoxLayout(&signIn);
    layout->addWidget(new QLabel(QStringLiteral("Name"), &signIn));
    layout->addWidget(new QLineEdit(&signIn));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &signIn);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &signIn, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &signIn, &QDialog::reject);
    layout->addWidget(buttons);
    if (signIn.exec() != QDialog::Accepted)
        return 0;
#ifdef VIMO_FLOOR_WITH_STORE
    if (!OpenStoreAndPoll())
        return 1;
#endif

    std::vector<std::unique_ptr<QLabel>> notes;
    for (int i = 0; i < windows; ++i) {
        auto note = std::make_unique<QLabel>(QStringLiteral("Note %1").arg(i + 1));
        note->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
        note->setAutoFillBackground(true);
        QPalette colours = note->palette();
        colours.setColor(QPalette::Window, Qt::yellow);
        colours.setColor(QPalette::WindowText, Qt::black);
        note->setPalette(colours);
        note->setWordWrap(true);
        note->setGeometry(50 + (i % 60) * 10, 50 + (i % 60) * 10, 100, 100);
        note->show();
        notes.push_back(std::move(note));
    }

    QPixmap icon(22, 22);
    icon.fill(Qt::yellow);
    QSystemTrayIcon tray { QIcon(icon) };
    tray.setToolTip(QStringLiteral("Floor"));
    tray.show();
    return QApplication::exec();
}
