#include "store/StoreConnection.h"

#include "store/AttributeLists.h"

namespace vimo {

StoreConnection& StoreConnection::Instance()
{
    static StoreConnection connection;
    return connection;
}

SQLRETURN StoreConnection::Connect()
{
    return Open(false);
}

SQLRETURN StoreConnection::ConnectRegistered()
{
    return Open(true);
}

SQLRETURN StoreConnection::Reconnect()
{
    return Open(Registered);
}

SQLRETURN StoreConnection::Open(bool registered)
{
    Registered = registered;
    // The old link goes first, so that the environment is rebuilt from scratch as well.
    Current.reset();
    auto link = std::make_shared<OdbcLink>();
    const QString dataSource = QString::fromUtf16(DataSourceName);
    const SQLRETURN rc = registered ? link->ConnectThroughDriver(dataSource, QString::fromLatin1(DriverName))
                                    : link->Connect(dataSource);
    Current = std::move(link);
    return rc;
}

void StoreConnection::Close()
{
    Current.reset();
}

bool StoreConnection::IsConnected() const
{
    return Current && Current->IsConnected();
}

} // namespace vimo
