#pragma once

#include <QStringView>

#include <optional>

// How note keys are read and chosen. Keys are 64-bit whole numbers from the store to the
// window and back: nothing is clamped onto another note's key.
namespace vimo {

// The key a TKEY value stands for: the exact whole number it reads as, or nullopt when it
// is no whole number within 64 bits (such a row cannot be told apart safely).
std::optional<qint64> ParseKey(QStringView text);

// The key a new note aims at: the largest key plus step (1 on the first try), or step on an
// empty table. nullopt when there is none: the largest key is no whole number, or the sum
// would pass 64 bits; a free key below the top is then taken instead.
std::optional<qint64> NextKeyAfter(QStringView largest, int step);

} // namespace vimo
