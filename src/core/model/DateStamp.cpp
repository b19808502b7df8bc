#include "model/DateStamp.h"

#include "model/TextRules.h"

#include <QCoreApplication>
#include <QLocale>

namespace vimo {

QString DateText(const QDate& day)
{
    return QStringLiteral("%1/%2/%3")
        .arg(day.month(), 2, 10, QLatin1Char('0'))
        .arg(day.day(), 2, 10, QLatin1Char('0'))
        .arg(day.year(), 4, 10, QLatin1Char('0'));
}

QString MakeDateStamp(const QDate& day)
{
    // By way of the date text, as every stamp in the store was made.
    return QString::number(ParseDateText(DateText(day)).value_or(0));
}

std::optional<qint32> ParseDateText(const QString& text)
{
    if (text.isEmpty())
        return 0;

    // A piece that runs past the end is cut to what is there; separators are not checked.
    const QStringView view(text);
    const int month = AtoI(view.mid(0, 2));
    const int day = AtoI(view.mid(3, 2));
    const int year = AtoI(view.mid(6, 4));

    if (day < 0 || day > 31 || month < 0 || month > 12)
        return std::nullopt;
    return year * 10000 + month * 100 + day;
}

QDate StampDate(qint64 stamp)
{
    if (stamp <= 0 || stamp > 99991231)
        return {};
    const auto year = static_cast<int>(stamp / 10000);
    return QDate(year, static_cast<int>(stamp / 100 % 100), static_cast<int>(stamp % 100));
}

QString DayText(const QDate& day)
{
    // The order and punctuation belong to the language, the names to the locale.
    return QLocale().toString(day, QCoreApplication::translate("DateStamp", "ddd d MMM yyyy"));
}

QString MomentText(const QDateTime& moment)
{
    const QDateTime local = moment.toLocalTime();
    return DayText(local.date()) + QLatin1Char(' ')
        + QLocale().toString(local.time(), QStringLiteral("HH:mm"));
}

} // namespace vimo
