#include "model/TextRules.h"

#include <limits>

namespace vimo {

bool IsWhiteSpace(QChar c)
{
    const char16_t code = c.unicode();
    return code == u' ' || (code >= 9 && code <= 13);
}

QString CutTrailingWhiteSpace(QStringView text)
{
    qsizetype length = text.size();
    while (length > 0 && IsWhiteSpace(text[length - 1]))
        --length;
    return text.first(length).toString();
}

int TrimTrailingBlanks(QByteArray& buffer)
{
    qsizetype length = buffer.size();
    while (length > 0 && static_cast<unsigned char>(buffer[length - 1]) <= 32)
        --length;
    buffer.truncate(length);
    return static_cast<int>(length);
}

int TrimTrailingBlanks(QString& text)
{
    qsizetype length = text.size();
    while (length > 0 && text[length - 1].unicode() <= 32)
        --length;
    text.truncate(length);
    return static_cast<int>(length);
}

int AtoI(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && IsWhiteSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > limit)
            value = limit;
    }
    if (negative)
        return static_cast<int>(-value);
    return static_cast<int>(qMin(value, qint64(std::numeric_limits<int>::max())));
}

} // namespace vimo
