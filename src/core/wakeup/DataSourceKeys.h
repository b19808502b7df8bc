#pragma once

#include "wakeup/BrokerLink.h"
#include "wakeup/PgSession.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace vimo {

// One key of the data source "VIMO", as the driver reads it (the user's odbc.ini, else the
// system's); empty when absent.
QByteArray DataSourceKey(const char* key);

// False when the data source turns listening off with Listen=0 (or no, false, off): the copy
// then neither listens to a PostgreSQL store nor watches a data file, and only polls.
bool ListeningWanted();

// What the listening link of a PostgreSQL store connects with: the data source's own keys as
// psqlODBC reads them (Servername, Port, Database, Username, Password, SSLmode, pqopt), and
// two of ours for the link alone, ListenServername and ListenPort, which point it elsewhere:
// straight at the server when the data source names a pooler. So both links verify the server
// alike (SSLmode, pqopt's sslrootcert and channel_binding) and prove the user alike (a
// password, or a Kerberos ticket with pqopt's gssencmode and krbsrvname).
PgParameters ReadListenParameters();
// The same from keys that dataSourceKey reads (empty when absent).
PgParameters ListenParametersFrom(const std::function<QByteArray(const char* key)>& dataSourceKey);

// The office's broker for the user, from the data source's Broker keys; its Host is empty
// where the data source names none.
BrokerSettings ReadBrokerSettings(const QString& user);
BrokerSettings BrokerSettingsFrom(
    const QString& user, const std::function<QByteArray(const char* key)>& dataSourceKey);

} // namespace vimo
