#include "setup/OpenStore.h"

#include "model/TextRules.h"
#include "prompts/Prompts.h"
#include "setup/AttributeLists.h"
#include "store/Store.h"
#include "store/StoreUpgrade.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <odbcinst.h>

namespace vimo {
namespace {

// The data file that "VIMO" is to be set up for; File is empty when the user cancelled.
struct DataFileChoice {
    QString File;
    bool Create = false;
};

// The path of the command line needs no question; without one the user is asked whether to
// make a new file, then for the file.
DataFileChoice ChooseDataFileFor(const QString& path)
{
    if (!path.isEmpty())
        return { path, false };
    DataFileChoice choice;
    choice.Create = AskYesNo(QCoreApplication::translate("OpenStore", "Create New File"));
    choice.File = ChooseDataFile(QCoreApplication::translate("OpenStore", "Vimo Files (*.vmo)"),
        QStringLiteral("*.vmo"), QStringLiteral("Vimo"), QStringLiteral("vmo"), choice.Create);
    return choice;
}

bool ConfigDataSource(WORD request, const QByteArray& list)
{
    return SQLConfigDataSource(nullptr, request, DriverName, list.constData());
}

// Where a request is refused, the alert names the list by its first entry.
bool SendOrAlert(WORD request, const QByteArray& list)
{
    if (ConfigDataSource(request, list))
        return true;
    ShowAlert(FirstEntry(list));
    return false;
}

// Makes an empty data file and checks it; either refusal is alerted and set-up goes on, since
// the file may be there already.
void InstallDataFile(const QString& dataFile)
{
    SendOrAlert(ODBC_ADD_DSN, CreationList(dataFile));
    SendOrAlert(ODBC_ADD_DSN, RepairList(dataFile));
}

// Writes the user data source "VIMO" for the file, or points an existing one at it. Only a
// refused path request stops the set-up: "VIMO" would then still name another file.
bool RegisterDataFile(const QString& dataFile)
{
    ConfigDataSource(ODBC_ADD_DSN, RegistrationList(dataFile));
    return SendOrAlert(ODBC_CONFIG_DSN, PathList(dataFile));
}

// The only answer that says "VIMO" is not there. Everything else (a server down, a file
// locked, gone or on a share not mounted yet) may pass, and re-pointing "VIMO" then would
// leave this user alone with a file of their own.
bool DataSourceMissing(const StoreResult<>& connected)
{
    return connected.Failure && connected.Failure->Kind == FailureKind::NoDataSource;
}

// The file "VIMO" names, when it names one.
QString RegisteredDataFile()
{
    char value[1024] = {};
    const QByteArray name = QString::fromUtf16(DataSourceName).toUtf8();
    SQLGetPrivateProfileString(name.constData(), "Database", "", value, sizeof value, "odbc.ini");
    const QString file = QFile::decodeName(value);
    // A server's data source names a database, never an absolute path.
    return file.startsWith(QLatin1Char('/')) ? file : QString();
}

QString WhyUnreachable(const StoreFailure& failure)
{
    const Diagnostic& error = failure.Error;
    // libpq ends its messages with a line break.
    const QString message = error.Message.trimmed();
    if (failure.Kind == FailureKind::Untrusted)
        return QCoreApplication::translate("OpenStore",
            "The store's server could not prove that it is the office's server, so Vimo did not "
            "connect to it:\n%1 [%2]\n\nPlease tell your administrator.")
            .arg(message, error.State);
    const QString file = RegisteredDataFile();
    if (!file.isEmpty() && !QFileInfo::exists(file))
        return QCoreApplication::translate("OpenStore",
            "The data file cannot be found:\n%1\n\nIf it lies on a share, the share may not be "
            "there yet.")
            .arg(file);
    return QCoreApplication::translate("OpenStore", "The store cannot be reached:\n%1 [%2]")
        .arg(message.isEmpty() ? QCoreApplication::translate("OpenStore", "no answer") : message,
            error.State);
}

// Waits without blocking the event loop: a later start may hand this one a command meanwhile.
void Pause(std::chrono::milliseconds wait)
{
    QEventLoop loop;
    QTimer::singleShot(wait, &loop, &QEventLoop::quit);
    loop.exec();
}

// Tries again and again until the store answers or the user gives up. A server that does not
// prove itself is said at once: waiting does not change its certificate.
bool WaitForStore(Store& store, StoreFailure refused, const StartPatience& patience)
{
    QDeadlineTimer quiet(patience.Quiet);
    for (;;) {
        if (quiet.hasExpired() || refused.Kind == FailureKind::Untrusted) {
            if (!AskRetryOrQuit(WhyUnreachable(refused)))
                return false;
            quiet.setRemainingTime(patience.AfterRetry);
        } else {
            Pause(std::min(patience.Interval,
                std::chrono::milliseconds(qMax<qint64>(0, quiet.remainingTime()))));
        }
        StoreResult<> connected = store.Connect();
        if (connected.Succeeded())
            return true;
        refused = std::move(*connected.Failure);
    }
}

} // namespace

QString DataFilePathProblem(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    if (encoded.size() > MaxDataFilePathBytes) {
        // Enough of the path to recognise it; the whole would make a box wider than the screen.
        const QString shown
            = path.size() <= 120 ? path : path.left(55) + QLatin1String("...") + path.right(55);
        return QCoreApplication::translate(
            "OpenStore", "The data file path is too long (at most %1 bytes):\n%2")
            .arg(MaxDataFilePathBytes)
            .arg(shown);
    }
    // A line break would end the path's line in odbc.ini and start one of its own.
    for (const char c : encoded) {
        if (static_cast<unsigned char>(c) < 32)
            return QCoreApplication::translate(
                "OpenStore", "The data file path holds a control character:\n%1")
                .arg(path.simplified());
    }
    // odbc.ini drops the blanks at the end of a value: the data source would name another file.
    if (!path.isEmpty() && IsWhiteSpace(path.back()))
        return QCoreApplication::translate(
            "OpenStore", "The data file path ends in a blank:\n\"%1\"")
            .arg(path);
    return QString();
}

bool OpenStore(Store& store, const QString& path, const StartPatience& patience)
{
    StoreResult<> connected = store.Connect();
    if (connected.Succeeded())
        return true;
    if (!DataSourceMissing(connected))
        return WaitForStore(store, std::move(*connected.Failure), patience);

    const DataFileChoice choice = ChooseDataFileFor(path);
    if (choice.File.isEmpty())
        return false;
    // odbc.ini keeps the path for later starts, which may run in another folder.
    const QString dataFile = QFileInfo(choice.File).absoluteFilePath();
    if (const QString problem = DataFilePathProblem(dataFile); !problem.isEmpty()) {
        ShowAlert(problem);
        return false;
    }

    if (choice.Create)
        InstallDataFile(dataFile);
    if (!RegisterDataFile(dataFile))
        return false;
    if (store.ConnectRegistered().Failure)
        return false;
    if (choice.Create)
        return CreateStoreTables(store);
    return true;
}

bool CreateStoreTables(Store& store)
{
    const QList<StoreFailure> refused = CreateTables(store);
    // Tables that were there already are no failure; a file that cannot take them (a full or
    // read-only disk) is.
    if (HasTables(store))
        return true;
    for (const StoreFailure& failure : refused)
        ShowFailureAlert(failure);
    if (refused.isEmpty())
        ShowAlert(
            QCoreApplication::translate("OpenStore", "The data file has no tables for the notes."));
    return false;
}

} // namespace vimo
