#include "model/TextRules.h"

#include <QStringList>

#include <algorithm>
#include <limits>

namespace vimo {
namespace {

// Code points that fonts draw as nothing although their category is a visible one, or that
// are reserved to be ignored (Unicode's default-ignorable code points outside Cf).
constexpr std::pair<char32_t, char32_t> Ignorable[] = {
    { 0x034F, 0x034F }, // combining grapheme joiner
    { 0x115F, 0x1160 }, // Hangul fillers
    { 0x17B4, 0x17B5 }, { 0x180B, 0x180F }, // Mongolian selectors
    { 0x2800, 0x2800 }, // braille blank
    { 0x3164, 0x3164 }, { 0xFE00, 0xFE0F }, // variation selectors
    { 0xFFA0, 0xFFA0 }, { 0xFFF0, 0xFFF8 }, { 0x1BCA0, 0x1BCA3 }, { 0x1D173, 0x1D17A },
    { 0xE0000, 0xE0FFF }, // tags and their variation selectors
};

QString CodeName(char32_t c)
{
    return QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

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

bool IsUnseen(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    case QChar::Separator_Space:
        return c != U' ';
    default:
        return std::any_of(std::begin(Ignorable), std::end(Ignorable),
            [c](const auto& range) { return c >= range.first && c <= range.second; });
    }
}

QString SeenName(QStringView name)
{
    QString seen;
    for (const char32_t c : name.toUcs4()) {
        if (IsUnseen(c))
            seen += QLatin1Char('<') + CodeName(c) + QLatin1Char('>');
        else
            seen += QString::fromUcs4(&c, 1);
    }
    return seen;
}

QString UnseenCharacters(QStringView name)
{
    QStringList unseen;
    for (const char32_t c : name.toUcs4()) {
        if (IsUnseen(c) && !unseen.contains(CodeName(c)))
            unseen.append(CodeName(c));
    }
    return unseen.join(QStringLiteral(", "));
}

} // namespace vimo
