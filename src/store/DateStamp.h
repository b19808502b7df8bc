#pragma once

#include <QDate>
#include <QString>

// The posting day stored with each note: year * 10000 + month * 100 + day.
namespace vimo {

// The decimal text of today's local stamp, such as "20261206".
QString MakeDateStamp();

// The same for a given day; MakeDateStamp passes today.
QString MakeDateStampFor(const QDate& day);

// The date text MM/DD/YYYY of a day.
QString DateText(const QDate& day);

// Reads a date text MM/DD/YYYY into its stamp. Month 0 to 12 and day 0 to 31 pass; anything
// else shows "Invalid Date - Format MM/DD/YYYY" and gives 0. The empty text gives 0 silently.
qint32 ParseDateText(const QString& text);

} // namespace vimo
