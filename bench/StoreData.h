#pragma once

#include "Engines.h"

#include <QString>

// The stores the benchmarks read: 1,000 users; ten of them ("USER000" to "USER009") have ten
// notes each, as a user has a few on screen, and every other note belongs to the other 990.
// So a poll returns ten keys at any size, and only the table around it grows.
namespace vimo::bench {

inline constexpr int StoreUsers = 1000;
inline constexpr int ActiveUsers = 10;

QString UserName(int index);

// Empties the store and fills it with this many notes, the indexes made afterwards (or not, as
// in a store made before they existed). False with the reason on stderr.
bool FillStore(Engine& engine, bool postgres, int notes, bool withIndexes);

// Takes the indexes away again, as a store made before they existed.
bool DropIndexes(Engine& engine, bool postgres);

} // namespace vimo::bench
