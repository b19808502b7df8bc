#pragma once

#include <QDate>
#include <QString>

// The posting day stored with each note: year * 10000 + month * 100 + day.
namespace vimo {

// The decimal text of a day's stamp, such as "20261206"; by default today's, local time.
QString MakeDateStamp(const QDate& day = QDate::currentDate());

// The date text MM/DD/YYYY of a day.
QString DateText(const QDate& day);

// Reads a date text MM/DD/YYYY into its stamp. Month 0 to 12 and day 0 to 31 pass; anything
// else shows "Invalid Date - Format MM/DD/YYYY" and gives 0. The empty text gives 0 silently.
qint32 ParseDateText(const QString& text);

} // namespace vimo
