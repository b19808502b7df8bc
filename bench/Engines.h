#pragma once

#include <memory>
#include <string>
#include <vector>

// The engines' own C APIs (sqlite3, libpq), used to fill stores quickly and as the reference
// the program's ODBC path is measured against: the same statement text, run the plain way.
namespace vimo::bench {

class Engine {
public:
    enum class Failure { None, DuplicateKey, Busy, Other };

    virtual ~Engine() = default;
    // Runs a statement, reads every column of every row as text, row after row; false when the
    // engine refused.
    virtual bool Run(const std::string& statement, std::vector<std::string>* values = nullptr) = 0;
    virtual Failure LastFailure() const = 0;
    virtual std::string LastMessage() const = 0;

    // "sqlite:PATH" or "postgres:CONNINFO"; nullptr with the reason on stderr when it fails.
    static std::unique_ptr<Engine> Open(const std::string& where);

    // The first value of the first row, or the empty text.
    std::string Value(const std::string& statement);
};

// Whether where names a PostgreSQL store.
bool IsPostgres(const std::string& where);

} // namespace vimo::bench
