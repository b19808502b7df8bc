#pragma once

#include "store/PgSession.h"

#include <QByteArray>

namespace vimo {

// One key of the data source "VIMO", as the driver reads it (the user's odbc.ini, else the
// system's); empty when absent.
QByteArray DataSourceKey(const char* key);

// What the listening link of a PostgreSQL store connects with: the data source's own keys as
// psqlODBC reads them (Servername, Port, Database, Username, Password, SSLmode, pqopt), less
// what our own keys change for the link alone: ListenServername and ListenPort point it
// elsewhere (straight at the server when the data source names a pooler), Listen=0 turns it
// off.
struct ListenSettings {
    bool Enabled = true;
    PgParameters Parameters;
};
ListenSettings ReadListenSettings();

} // namespace vimo
