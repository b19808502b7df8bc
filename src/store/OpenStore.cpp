#include "store/OpenStore.h"

#include "store/AttributeLists.h"
#include "store/Prompts.h"
#include "store/SqlHelpers.h"
#include "store/Statements.h"
#include "store/StoreConnection.h"

#include <QFile>

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

    if (QFile::encodeName(dataFile).size() > MaxDataFilePathBytes) {
        ShowAlert(QStringLiteral("The data file path is too long (at most %1 bytes):\n%2")
                      .arg(MaxDataFilePathBytes)
                      .arg(dataFile));
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
    ExecSql(NotesTableCreation());
    ExecSql(UsersTableCreation());
    ExecSql(NotesKeyIndexCreation());
    ExecSql(NotesRecipientIndexCreation());
}

} // namespace vimo
