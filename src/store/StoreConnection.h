#pragma once

#include "store/OdbcHandles.h"

#include <memory>

namespace vimo {

// The name of the user data source that every copy opens.
inline constexpr char16_t DataSourceName[] = u"VIMO";

// The process-wide link to the shared store. Statements run on it one handle at a time; it is
// opened by OpenStore and lives until the process ends.
class StoreConnection {
public:
    static StoreConnection& Instance();

    // Drops the current link, if any, and connects a fresh one to the data source "VIMO".
    // Returns the connect code: non-negative means connected.
    SQLRETURN Connect();

    // The same, for a data source this process has just registered with our driver entry.
    SQLRETURN ConnectRegistered();

    // Connects again the way the last Connect or ConnectRegistered did.
    SQLRETURN Reconnect();

    // Drops the link; the next statement fails until Connect runs again.
    void Close();

    bool IsConnected() const;
    std::shared_ptr<OdbcLink> Link() const { return Current; }

private:
    StoreConnection() = default;
    SQLRETURN Open(bool registered);

    std::shared_ptr<OdbcLink> Current;
    bool Registered = false;
};

} // namespace vimo
