#include "model/KeyRules.h"

#include <limits>

namespace vimo {

std::optional<qint64> ParseKey(QStringView text)
{
    text = text.trimmed();
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+'))
        text = text.mid(1);
    if (text.isEmpty())
        return std::nullopt;
    // Gathered as a negative number, which reaches one further than a positive one.
    qint64 value = 0;
    constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c.unicode() - u'0';
        if (value < (lowest + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative && value == lowest)
        return std::nullopt;
    return negative ? value : -value;
}

std::optional<qint64> NextKeyAfter(QStringView largest, int step)
{
    if (largest.trimmed().isEmpty())
        return step;
    const std::optional<qint64> key = ParseKey(largest);
    if (!key || *key > std::numeric_limits<qint64>::max() - step)
        return std::nullopt;
    return *key + step;
}

} // namespace vimo
