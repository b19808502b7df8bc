#pragma once

#include <QList>
#include <QString>

#include <variant>

namespace vimo {

// A value that travels beside its statement, bound to one `?` marker, and is never pasted
// into the text: a name or a note's text, or a key, stamp or urgency as a 64-bit integer.
using SqlValue = std::variant<QString, qint64>;

// A statement as the store sends it: its text, with one `?` for each value, in order.
struct SqlStatement {
    SqlStatement() = default;
    // A text without markers stands for itself.
    SqlStatement(QString text, QList<SqlValue> values = {})
        : Text(std::move(text))
        , Values(std::move(values))
    {
    }

    QString Text;
    QList<SqlValue> Values;
};

} // namespace vimo
