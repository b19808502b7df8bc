#include "store/DateStamp.h"

#include "store/Prompts.h"
#include "store/TextRules.h"

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
    return QString::number(ParseDateText(DateText(day)));
}

qint32 ParseDateText(const QString& text)
{
    if (text.isEmpty())
        return 0;

    // A piece that runs past the end is cut to what is there; separators are not checked.
    const QStringView view(text);
    const int month = AtoI(view.mid(0, 2));
    const int day = AtoI(view.mid(3, 2));
    const int year = AtoI(view.mid(6, 4));

    if (day < 0 || day > 31 || month < 0 || month > 12) {
        ShowAlert(QStringLiteral("Invalid Date - Format MM/DD/YYYY"));
        return 0;
    }
    return year * 10000 + month * 100 + day;
}

} // namespace vimo
