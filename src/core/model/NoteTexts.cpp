#include "model/NoteTexts.h"

#include "model/DateStamp.h"
#include "model/TextRules.h"

#include <QCoreApplication>

#include <algorithm>

namespace vimo {

namespace {

// Characters that draw nothing of their own or reorder what follows: a name could hide in
// them or pose as another.
bool IsHidingCharacter(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0x202A && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

QString Cleaned(const QString& text, qsizetype longest, bool keepLineBreaks)
{
    QString shown;
    shown.reserve(std::min(text.size(), longest + 1));
    qsizetype characters = 0;
    // Two UTF-16 units a character at most: enough for the cut, however long the text.
    for (const uint code : QStringView(text).left(2 * longest + 2).toUcs4()) {
        const char32_t c = code;
        if (characters == longest) {
            shown += QChar(u'\u2026');
            break;
        }
        if (keepLineBreaks && c == u'\n')
            shown += QChar(u'\n');
        else if (IsHidingCharacter(c))
            shown += QChar(u' ');
        else
            shown += QString::fromUcs4(&c, 1);
        ++characters;
    }
    return shown;
}

} // namespace

QString ShownLine(const QString& text, qsizetype longest)
{
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return Cleaned(line, longest, false);
}

QString PlainTip(const QString& text, qsizetype longest)
{
    QString tip = text;
    tip.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    tip = Cleaned(tip, longest, true).toHtmlEscaped();
    tip.replace(u'\n', QStringLiteral("<br>"));
    // Marked as rich text whatever it holds; "white-space: pre" keeps its blanks and its
    // lines, as a plain tip would: rich tips wrap at a narrow width.
    return QStringLiteral("<qt><p style=\"white-space: pre\">") + tip + QStringLiteral("</p></qt>");
}

QString NoteTipText(const QString& sender, qint64 dateStamp)
{
    const QDate day = StampDate(dateStamp);
    QStringList parts;
    if (!sender.isEmpty())
        parts << QCoreApplication::translate("NoteTexts", "From %1").arg(sender);
    if (day.isValid())
        parts << DayText(day);
    return parts.join(QStringLiteral(", "));
}

QString NoteDescription(int urgency, const QString& sender, qint64 dateStamp)
{
    const QString urgent = urgency == 3 ? QCoreApplication::translate("NoteTexts", "Urgent")
        : urgency == 2                  ? QCoreApplication::translate("NoteTexts", "Important")
                                        : QCoreApplication::translate("NoteTexts", "Normal");
    const QString tip = NoteTipText(sender, dateStamp);
    return tip.isEmpty() ? urgent : urgent + QStringLiteral(". ") + tip;
}

QStringList SplitRecipientNames(QStringView list)
{
    QStringList names;
    for (const QStringView entry : list.split(u',')) {
        const QString name = entry.trimmed().toString();
        if (!name.isEmpty() && !names.contains(name))
            names.append(name);
    }
    return names;
}

QString UnknownUserAlert(const QString& name)
{
    return QCoreApplication::translate(
        "NoteTexts", "User name must be Valid: %1\n[Press ? for List]")
        .arg(name);
}

QString UnseenNameAlert(const QString& name)
{
    const QString unseen = UnseenCharacters(name);
    if (unseen.isEmpty())
        return {};
    return QCoreApplication::translate("NoteTexts",
        "The name %1 holds characters that cannot be seen (%2): no Vimo name may hold them.")
        .arg(SeenName(name), unseen);
}

} // namespace vimo
