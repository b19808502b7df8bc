#include "store/StoreConnection.h"

namespace vimo {

StoreConnection& StoreConnection::Instance()
{
    static StoreConnection connection;
    return connection;
}

SQLRETURN StoreConnection::Connect()
{
    // The old link goes first, so that the environment is rebuilt from scratch as well.
    Current.reset();
    auto link = std::make_shared<OdbcLink>();
    const SQLRETURN rc = link->Connect(QString::fromUtf16(DataSourceName));
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
