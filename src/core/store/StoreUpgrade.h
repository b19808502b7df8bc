#pragma once

#include "store/StoreResult.h"

#include <QList>

namespace vimo {

class Store;

// True when both tables, of notes and of users, are there.
bool HasTables(Store& store);

// The two tables of a new data file, and the indexes when the notes table is new: a file
// that already had its notes is an older copy's and stays as it was. Returns every
// creation the store refused, in order.
QList<StoreFailure> CreateTables(Store& store);

// Both upgrades touch only a store that holds the notes and users tables, on a link that no
// role of the identity mode holds; any other store is left as it is.
//
// Gives a store made before the indexes existed the two that a new store gets with its tables,
// once per start, right after the store connects. Neither changes a row. The index on the
// recipient makes every poll fast again; it is always added. The unique index on the key is
// added only while no key is held by more than one note, since such a store would refuse it;
// the log says so, and it is tried again at the next start. Failures are logged ("vimo.store")
// and the store is used as it is.
//
// On a large table this takes a while, once: at a million notes about a second on SQLite and
// a few on PostgreSQL, during which other copies wait to write; their reads go on. A plain
// build rather than PostgreSQL's CONCURRENTLY: that one leaves an invalid index of the same
// name behind when it fails, which the next start would take for the real one.
void UpgradeOldStore(Store& store);

// Gives the store its receipts table where it has none. Receipts are an extra: a store that
// will not take the table (read-only, or a user without the right to make tables on the
// server) serves notes as before, without receipts; the log says why.
void AddReceiptsTable(Store& store);

} // namespace vimo
