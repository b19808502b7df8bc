#pragma once

#include <QDate>
#include <QString>

// The posting day stored with each note: year * 10000 + month * 100 + day.
namespace vimo {

// The mode that asks MakeDateStamp for the number rather than the date text.
inline constexpr int DateStampNumeric = 1;

// Today's local date: with DateStampNumeric the decimal text of its stamp, such as
// "20261206"; with any other mode the date text "12/06/2026".
QString MakeDateStamp(int mode);

// The same for a given day; MakeDateStamp passes today.
QString MakeDateStampFor(const QDate& day, int mode);

// The date text MM/DD/YYYY of a day.
QString DateText(const QDate& day);

// Reads a date text MM/DD/YYYY into its stamp. Month 0 to 12 and day 0 to 31 pass; anything
// else shows "Invalid Date - Format MM/DD/YYYY" and gives 0. The empty text gives 0 silently.
qint32 ParseDateText(const QString& text);

} // namespace vimo
