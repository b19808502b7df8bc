#include "store/OpenStore.h"

#include "store/AttributeLists.h"
#include "store/Prompts.h"
#include "store/SqlHelpers.h"
#include "store/Statements.h"
#include "store/StoreConnection.h"

#include <QFile>
#include <QFileInfo>

#include <odbcinst.h>

namespace vimo {
namespace {

bool ConfigDataSource(WORD request, const QByteArray& list)
{
    return SQLConfigDataSource(nullptr, request, DriverName, list.constData());
}

// Where the request is refused, the alert names the list by its first entry.
void SendOrAlert(WORD request, const QByteArray& list)
{
    if (!ConfigDataSource(request, list))
        ShowAlert(FirstEntry(list));
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

bool OpenStore(const QString& path)
{
    StoreConnection& store = StoreConnection::Instance();
    SQLRETURN connected = store.Connect();
    if (connected >= 0)
        return true;

    bool create = false;
    QString dataFile = path;
    if (dataFile.isEmpty()) {
        create = AskYesNo(QStringLiteral("Create New File"));
        dataFile = ChooseDataFile(QStringLiteral("Vimo Files (*.vmo)"), QStringLiteral("*.vmo"),
                                  QStringLiteral("Vimo"), QStringLiteral("vmo"), create);
        if (dataFile.isEmpty())
            return false;
    }

    // odbc.ini keeps the path for later starts, which may run in another folder.
    dataFile = QFileInfo(dataFile).absoluteFilePath();
    if (const QString problem = DataFilePathProblem(dataFile); !problem.isEmpty()) {
        ShowAlert(problem);
        return false;
    }

    if (create) {
        SendOrAlert(ODBC_ADD_DSN, CreationList(dataFile));
        SendOrAlert(ODBC_ADD_DSN, RepairList(dataFile));
    }

    ConfigDataSource(ODBC_ADD_DSN, RegistrationList(dataFile));

    const QByteArray pathList = PathList(dataFile);
    if (!ConfigDataSource(ODBC_CONFIG_DSN, pathList)) {
        ShowAlert(FirstEntry(pathList));
        return false;
    }
    connected = store.ConnectRegistered();

    if (connected >= 0 && create)
        CreateStoreTables();
    return connected >= 0;
}

void CreateStoreTables()
{
    const bool notesTableMade = ExecSql(NotesTableCreation());
    ExecSql(UsersTableCreation());
    // A file that already had its notes is an older copy's: it stays as it was.
    if (notesTableMade) {
        ExecSql(NotesKeyIndexCreation());
        ExecSql(NotesRecipientIndexCreation());
    }
}

} // namespace vimo
