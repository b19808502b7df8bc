#pragma once

#include <QString>

#include <chrono>

namespace vimo {

class Store;

// The longest data-file path, in bytes, that survives the trip through odbc.ini into the
// driver. A longer one is refused with an alert instead of being cut. The SQLite driver opens
// paths of up to 504 bytes (its limit of 512 less the journal's "-journal").
inline constexpr int MaxDataFilePathBytes = 500;

// Why a data-file path cannot be registered, as the alert says it; empty when it can.
QString DataFilePathProblem(const QString& path);

// How a start waits for a store that is there but cannot be reached yet: at login the
// network, the server or the share often come a little after the desktop.
struct StartPatience {
    // How long the start tries again without a word.
    std::chrono::milliseconds Quiet { 60000 };
    // The pause between two tries.
    std::chrono::milliseconds Interval { 2000 };
    // How long it tries after the user chose Retry, before asking again.
    std::chrono::milliseconds AfterRetry { 5000 };
};

// Connects the store to the data source "VIMO". Only when no such data source exists does it
// take the data file from path (the command line) or ask for one, create it when the user
// asked for a new file, register "VIMO" for it and connect again. When "VIMO" exists but
// cannot be reached (a server down, a share not mounted yet, a file locked, a file that is not
// there) nothing is registered or asked: the start tries again quietly, then says what failed
// and offers Retry or Quit; at once when the server did not prove who it is. Returns true when
// the store is connected.
bool OpenStore(Store& store, const QString& path, const StartPatience& patience = {});

// Makes the tables of a new data file. True when both tables are there afterwards (also when
// they were there already); otherwise every refused creation is alerted and the result is
// false.
bool CreateStoreTables(Store& store);

} // namespace vimo
