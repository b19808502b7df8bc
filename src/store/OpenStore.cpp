#include "store/OpenStore.h"

#include "store/AttributeLists.h"
#include "store/Prompts.h"
#include "store/Store.h"

#include <QFile>
#include <QFileInfo>

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
    choice.Create = AskYesNo(QStringLiteral("Create New File"));
    choice.File = ChooseDataFile(QStringLiteral("Vimo Files (*.vmo)"), QStringLiteral("*.vmo"),
        QStringLiteral("Vimo"), QStringLiteral("vmo"), choice.Create);
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

} // namespace

QString DataFilePathProblem(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    if (encoded.size() > MaxDataFilePathBytes) {
        // Enough of the path to recognise it; the whole would make a box wider than the screen.
        const QString shown
            = path.size() <= 120 ? path : path.left(55) + QLatin1String("...") + path.right(55);
        return QStringLiteral("The data file path is too long (at most %1 bytes):\n%2")
            .arg(MaxDataFilePathBytes)
            .arg(shown);
    }
    // A line break would end the path's line in odbc.ini and start one of its own.
    for (const char c : encoded) {
        if (static_cast<unsigned char>(c) < 32)
            return QStringLiteral("The data file path holds a control character:\n%1")
                .arg(path.simplified());
    }
    return QString();
}

bool OpenStore(Store& store, const QString& path)
{
    if (store.Connect() >= 0)
        return true;

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
    if (store.ConnectRegistered() < 0)
        return false;
    if (choice.Create)
        CreateStoreTables(store);
    return true;
}

void CreateStoreTables(Store& store)
{
    for (const StoreFailure& failure : store.CreateTables())
        ShowFailureAlert(failure);
}

} // namespace vimo
