#pragma once

#include "store/StoreResult.h"

#include <QString>
#include <QStringList>

namespace vimo {

class Store;

// The user directory (USRS), on one link.
class UserTable {
public:
    explicit UserTable(Store& store)
        : Link(store)
    {
    }

    // Every name, once each, in the store's order.
    StoreResult<QStringList> Names();
    StoreResult<bool> IsKnown(const QString& name);
    // Through the identity functions a bound role adds its own name, whatever name it gives.
    StoreResult<> Add(const QString& name);

private:
    Store& Link;
};

} // namespace vimo
