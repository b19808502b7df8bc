#include "wakeup/DataSourceKeys.h"

#include "model/TextRules.h"
#include "store/Store.h"
#include "wakeup/LibPq.h"

#include <odbcinst.h>

#include <algorithm>

namespace vimo {
namespace {

void Put(PgParameters& parameters, const QByteArray& keyword, const QByteArray& value)
{
    for (auto& [existing, old] : parameters) {
        if (existing == keyword) {
            old = value;
            return;
        }
    }
    parameters.append({ keyword, value });
}

// psqlODBC hands libpq its SSLmode as written, but for its short forms of the two verifying
// modes: the listening link must never connect less safely than the store's.
QByteArray SslModeAsTheDriverSends(const QByteArray& value)
{
    if (value.size() >= 2 && value[0] == 'v' && value[1] == 'f')
        return "verify-full";
    if (value.size() >= 2 && value[0] == 'v' && value[1] == 'c')
        return "verify-ca";
    return value;
}

} // namespace

QByteArray DataSourceKey(const char* key)
{
    const QByteArray section = QString::fromUtf16(DataSourceName).toUtf8();
    char value[1024] = {};
    SQLGetPrivateProfileString(section.constData(), key, "", value, sizeof value, "odbc.ini");
    return QByteArray(value).trimmed();
}

bool ListeningWanted()
{
    const QByteArray listen = DataSourceKey("Listen").toLower();
    return !(listen == "0" || listen == "no" || listen == "false" || listen == "off");
}

PgParameters ReadListenParameters()
{
    return ListenParametersFrom(DataSourceKey);
}

PgParameters ListenParametersFrom(const std::function<QByteArray(const char*)>& dataSourceKey)
{
    PgParameters parameters;
    // psqlODBC's own extra libpq options come first, so that its named keys win as they do
    // in the driver.
    if (const LibPq* pq = LibPq::Get()) {
        const QByteArray options = dataSourceKey("pqopt");
        if (!options.isEmpty()) {
            if (PQconninfoOption* parsed = pq->PQconninfoParse(options.constData(), nullptr)) {
                for (PQconninfoOption* option = parsed; option->keyword != nullptr; ++option) {
                    if (option->val != nullptr)
                        Put(parameters, option->keyword, option->val);
                }
                pq->PQconninfoFree(parsed);
            }
        }
    }
    const struct {
        const char* Key;
        const char* Keyword;
    } keys[] = {
        { "Servername", "host" },
        { "Port", "port" },
        { "Database", "dbname" },
        { "Username", "user" },
        { "Password", "password" },
        { "SSLmode", "sslmode" },
        { "ListenServername", "host" },
        { "ListenPort", "port" },
    };
    for (const auto& key : keys) {
        const QByteArray value = dataSourceKey(key.Key);
        if (!value.isEmpty())
            Put(parameters, key.Keyword,
                qstrcmp(key.Keyword, "sslmode") == 0 ? SslModeAsTheDriverSends(value) : value);
    }
    // Only a primary announces notes, and a standby refuses LISTEN: of several hosts the link
    // keeps to the one that takes writes, also where the data source does not ask it of the
    // store's link (a pooler in front of the primary, ListenServername naming the nodes).
    const bool sessionChosen = std::any_of(parameters.cbegin(), parameters.cend(),
        [](const auto& parameter) { return parameter.first == "target_session_attrs"; });
    if (!sessionChosen)
        Put(parameters, "target_session_attrs", "read-write");
    Put(parameters, "application_name", "vimo wakeup");
    // A server that vanishes without a word (a cable, a sleeping laptop) is noticed within
    // about a minute and a half.
    Put(parameters, "keepalives", "1");
    Put(parameters, "keepalives_idle", "60");
    Put(parameters, "keepalives_interval", "10");
    Put(parameters, "keepalives_count", "3");
    return parameters;
}

BrokerSettings ReadBrokerSettings(const QString& user)
{
    return BrokerSettingsFrom(user, DataSourceKey);
}

BrokerSettings BrokerSettingsFrom(
    const QString& user, const std::function<QByteArray(const char*)>& dataSourceKey)
{
    BrokerSettings settings;
    QByteArray host = dataSourceKey("Broker");
    QByteArray port;
    // host, host:port, [v6 address]:port
    const qsizetype colon = host.lastIndexOf(':');
    if (host.startsWith('[')) {
        const qsizetype end = host.indexOf(']');
        port = colon > end ? host.mid(colon + 1) : QByteArray();
        host = host.mid(1, end - 1);
    } else if (colon > 0 && host.indexOf(':') == colon) {
        port = host.mid(colon + 1);
        host.truncate(colon);
    }
    settings.Host = host.trimmed();
    settings.User = CutTrailingWhiteSpace(user).toUtf8();
    settings.Password = dataSourceKey("BrokerPassword");
    settings.CaFile = dataSourceKey("BrokerCAFile");
    settings.CertFile = dataSourceKey("BrokerCertFile");
    settings.KeyFile = dataSourceKey("BrokerKeyFile");
    bool valid = false;
    settings.Port = port.trimmed().toInt(&valid);
    if (!valid || settings.Port <= 0 || settings.Port > 65535)
        settings.Port
            = settings.CaFile.isEmpty() ? BrokerSettings::PlainPort : BrokerSettings::TlsPort;
    return settings;
}

} // namespace vimo
