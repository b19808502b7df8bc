// The installer side of our driver entry: unixODBC loads this library for
// SQLConfigDataSource and calls ConfigDSN with the attribute lists of the program. It makes
// and checks SQLite data files and writes the user data source that points at them.

#include <odbcinst.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

// 'VIMO', so that a data file can be told from any other SQLite file.
constexpr int ApplicationId = 0x56494D4F;

// How long a copy waits for another copy's write before it gives up, in ms.
constexpr const char* BusyTimeout = "5000";

struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const
    {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }
};

using Attributes = std::map<std::string, std::string, CaseInsensitiveLess>;

// "key=value\0key=value\0\0" into a map; entries without "=" are ignored.
Attributes ParseAttributes(const char* list)
{
    Attributes attributes;
    if (list == nullptr)
        return attributes;
    for (const char* entry = list; *entry != '\0'; entry += std::strlen(entry) + 1) {
        const char* equals = std::strchr(entry, '=');
        if (equals != nullptr)
            attributes[std::string(entry, equals)] = std::string(equals + 1);
    }
    return attributes;
}

bool Fail(DWORD code, const std::string& message)
{
    // Callers read the message into buffers of the standard size.
    SQLPostInstallerError(code, message.substr(0, SQL_MAX_MESSAGE_LENGTH - 1).c_str());
    return false;
}

bool HasControlCharacter(const std::string& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 32)
            return true;
    }
    return false;
}

// A path the driver can open and odbc.ini can hold. SQLite refuses names longer than its
// limit, its rollback journal included, and the installer's ini writer mishandles long values;
// a line break would add keys of the caller's choosing to odbc.ini.
bool UsablePath(const std::string& path)
{
    constexpr std::size_t JournalSuffix = sizeof "-journal" - 1;
    const sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    const std::size_t limit = vfs != nullptr ? std::size_t(vfs->mxPathname) : 512;
    if (path.size() + JournalSuffix > limit)
        return Fail(ODBC_ERROR_INVALID_PATH, "The path is too long for the driver");
    if (HasControlCharacter(path))
        return Fail(ODBC_ERROR_INVALID_PATH, "The path holds a control character");
    return true;
}

// CREATE_DB="path" General: the path stands between the first and the last double quote, or,
// without quotes, runs up to the first blank.
std::string CreationPath(const std::string& value)
{
    if (!value.empty() && value.front() == '"') {
        const std::size_t close = value.rfind('"');
        return close > 0 ? value.substr(1, close - 1) : value.substr(1);
    }
    return value.substr(0, value.find(' '));
}

bool FileExists(const std::string& path)
{
    struct stat info { };
    return ::stat(path.c_str(), &info) == 0;
}

bool CreateDataFile(const std::string& path)
{
    if (path.empty())
        return Fail(ODBC_ERROR_INVALID_PATH, "CREATE_DB without a path");
    if (!UsablePath(path))
        return false;
    // Never write over an existing file: it may be somebody's data. Made exclusively and
    // never through a link: in a shared folder anyone may have planted the name, pointing
    // at a file of the user's.
    const int made
        = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (made < 0 && errno == EEXIST)
        return Fail(ODBC_ERROR_CREATE_DSN_FAILED, "The file already exists: " + path);
    if (made < 0)
        return Fail(
            ODBC_ERROR_CREATE_DSN_FAILED, "Cannot create " + path + ": " + std::strerror(errno));
    ::close(made);

    sqlite3* db = nullptr;
    int rc
        = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (rc == SQLITE_OK) {
        // Writing the id makes SQLite lay down the file header now, not at the first table.
        const std::string pragma = "PRAGMA application_id=" + std::to_string(ApplicationId);
        rc = sqlite3_exec(db, pragma.c_str(), nullptr, nullptr, nullptr);
    }
    const std::string error = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        std::remove(path.c_str());
        return Fail(ODBC_ERROR_CREATE_DSN_FAILED, "Cannot create " + path + ": " + error);
    }
    return true;
}

// REPAIR_DB: SQLite needs no repair pass; check that the file is a sound database.
bool CheckDataFile(const std::string& path)
{
    if (!UsablePath(path))
        return false;
    if (!FileExists(path))
        return Fail(ODBC_ERROR_INVALID_PATH, "No such file: " + path);
    sqlite3* db = nullptr;
    bool sound = false;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* check = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &check, nullptr) == SQLITE_OK
            && sqlite3_step(check) == SQLITE_ROW) {
            const auto* result = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
            sound = result != nullptr && std::strcmp(result, "ok") == 0;
        }
        sqlite3_finalize(check);
    }
    sqlite3_close(db);
    return sound || Fail(ODBC_ERROR_REQUEST_FAILED, "Not a sound data file: " + path);
}

bool WriteValue(const std::string& dsn, const char* key, const std::string& value)
{
    if (HasControlCharacter(dsn) || HasControlCharacter(value))
        return false;
    return SQLWritePrivateProfileString(dsn.c_str(), key, value.c_str(), "odbc.ini");
}

bool DataSourceExists(const std::string& dsn)
{
    char driver[256] = {};
    SQLGetPrivateProfileString(dsn.c_str(), "Driver", "", driver, sizeof driver, "odbc.ini");
    return driver[0] != '\0';
}

// Points the data source at the file. The driver must not quietly make an empty store when
// the file has gone, and copies writing at the same moment wait for each other.
bool WriteDataFile(const std::string& dsn, const std::string& path)
{
    return WriteValue(dsn, "Database", path) && WriteValue(dsn, "NoCreat", "1")
        && WriteValue(dsn, "Timeout", BusyTimeout);
}

bool AddDataSource(const char* driver, const Attributes& attributes)
{
    const auto dsn = attributes.find("DSN");
    const auto path = attributes.find("DBQ");
    if (dsn == attributes.end() || dsn->second.empty() || HasControlCharacter(dsn->second))
        return Fail(ODBC_ERROR_INVALID_NAME, "No usable data-source name");
    if (path == attributes.end() || path->second.empty())
        return Fail(ODBC_ERROR_INVALID_PATH, "No data file for " + dsn->second);
    if (!UsablePath(path->second))
        return false;
    if (!SQLWriteDSNToIni(dsn->second.c_str(), driver))
        return Fail(ODBC_ERROR_REQUEST_FAILED, "Cannot register " + dsn->second);
    const auto description = attributes.find("Description");
    if (description != attributes.end()
        && !WriteValue(dsn->second, "Description", description->second))
        return Fail(ODBC_ERROR_REQUEST_FAILED, "Cannot write " + dsn->second);
    return WriteDataFile(dsn->second, path->second)
        || Fail(ODBC_ERROR_REQUEST_FAILED, "Cannot write " + dsn->second);
}

bool ConfigureDataSource(const Attributes& attributes)
{
    const auto dsn = attributes.find("DSN");
    if (dsn == attributes.end() || !DataSourceExists(dsn->second))
        return Fail(ODBC_ERROR_INVALID_NAME, "No such data source");
    const auto path = attributes.find("DBQ");
    if (path == attributes.end())
        return true;
    if (path->second.empty())
        return Fail(ODBC_ERROR_INVALID_PATH, "No data file for " + dsn->second);
    if (!UsablePath(path->second))
        return false;
    return WriteDataFile(dsn->second, path->second)
        || Fail(ODBC_ERROR_REQUEST_FAILED, "Cannot write " + dsn->second);
}

} // namespace

extern "C" __attribute__((visibility("default"))) BOOL INSTAPI ConfigDSN(
    HWND /*parent*/, WORD request, LPCSTR driver, LPCSTR attributeList)
{
    const Attributes attributes = ParseAttributes(attributeList);
    switch (request) {
    case ODBC_ADD_DSN:
        if (const auto create = attributes.find("CREATE_DB"); create != attributes.end())
            return CreateDataFile(CreationPath(create->second));
        if (const auto repair = attributes.find("REPAIR_DB"); repair != attributes.end())
            return CheckDataFile(repair->second);
        return AddDataSource(driver, attributes);
    case ODBC_CONFIG_DSN:
        return ConfigureDataSource(attributes);
    case ODBC_REMOVE_DSN: {
        const auto dsn = attributes.find("DSN");
        return dsn != attributes.end() && SQLRemoveDSNFromIni(dsn->second.c_str());
    }
    default:
        return Fail(ODBC_ERROR_INVALID_REQUEST_TYPE, "Unsupported request");
    }
}
