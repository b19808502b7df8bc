#pragma once

#include <QString>

namespace vimo {

class Store;

// The longest data-file path, in bytes, that survives the trip through odbc.ini into the
// driver. A longer one is refused with an alert instead of being cut. The SQLite driver opens
// paths of up to 504 bytes (its limit of 512 less the journal's "-journal").
inline constexpr int MaxDataFilePathBytes = 500;

// Why a data-file path cannot be registered, as the alert says it; empty when it can.
QString DataFilePathProblem(const QString& path);

// Connects the store to the data source "VIMO". When that does not open, takes the data file
// from path (the command line) or asks for one, creates it when the user asked for a new file,
// registers "VIMO" for it and connects again. Returns true when the store is connected.
bool OpenStore(Store& store, const QString& path);

// Makes the tables of a new data file; every creation the store refuses is alerted.
void CreateStoreTables(Store& store);

} // namespace vimo
