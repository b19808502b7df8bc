#pragma once

#include <QString>

#include <optional>

namespace vimo {

// The change counter of a SQLite data file: the four bytes at offset 24 of its header, which
// every commit moves on while the file keeps its rollback journal. Read without a lock and
// without the store's link, the file opened and closed each time: the client of a network
// file system then asks the server instead of answering from its cache (close-to-open
// consistency). Nothing when the file cannot be read or is no regular file: a FIFO in its
// place must not hold up the thread that asks.
// Closing the file drops every POSIX lock that this process holds on it, SQLite's among them:
// call it only where the process's own link holds none, between the store's statements on
// the store's thread.
std::optional<quint32> ReadChangeCounter(const QString& path);

} // namespace vimo
