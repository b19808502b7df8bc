#pragma once

#include "store/OdbcHandles.h"

#include <QString>

#include <optional>
#include <variant>

namespace vimo {

// A statement the store refused: the statement as it ran, and what the driver said.
struct StoreFailure {
    QString Statement;
    Diagnostic Error;
};

// What one store operation gave: its value, or the failure that kept it from one. After a
// failure Value holds what could be read: most often the empty value (no text, 0, false, no
// rows), which is what a caller that reads a failure as "nothing there" takes.
template <typename T = std::monostate> struct StoreResult {
    T Value {};
    std::optional<StoreFailure> Failure;

    bool Succeeded() const { return !Failure.has_value(); }
};

} // namespace vimo
