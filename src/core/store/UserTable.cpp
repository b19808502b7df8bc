#include "store/UserTable.h"

#include "store/Statements.h"
#include "store/StoreSql.h"

namespace vimo {

StoreResult<QStringList> UserTable::Names()
{
    return StoreSql(Link).ColumnValues(Link.ThroughFunctions() ? UserListCall() : UserListQuery());
}

StoreResult<bool> UserTable::IsKnown(const QString& name)
{
    StoreResult<QString> found = StoreSql(Link).FirstValue(
        Link.ThroughFunctions() ? UserLookupCall(name) : UserLookupQuery(name));
    return { !found.Value.isEmpty(), std::move(found.Failure) };
}

StoreResult<> UserTable::Add(const QString& name)
{
    return StoreSql(Link).Exec(Link.ThroughFunctions() ? JoinCall() : AddUserStatement(name));
}

} // namespace vimo
