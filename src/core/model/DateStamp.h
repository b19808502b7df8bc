#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

// The posting day stored with each note: year * 10000 + month * 100 + day.
namespace vimo {

// The decimal text of a day's stamp, such as "20261206"; by default today's, local time.
QString MakeDateStamp(const QDate& day = QDate::currentDate());

// The date text MM/DD/YYYY of a day.
QString DateText(const QDate& day);

// Reads a date text MM/DD/YYYY into its stamp. Month 0 to 12 and day 0 to 31 pass, and the
// empty text gives 0; anything else gives nothing. Texts made by DateText always pass.
std::optional<qint32> ParseDateText(const QString& text);

// The day a stamp names; an invalid date when it names none (0, a month 13, a 31 April).
QDate StampDate(qint64 stamp);

// A day as people read it in the user's language and locale: "Mon 7 Dec 2026" in English,
// "Mo. 7. Dez. 2026" in German.
QString DayText(const QDate& day);

// A moment as DayText with the time of day added, "Mon 7 Dec 2026 10:42", in local time.
QString MomentText(const QDateTime& moment);

} // namespace vimo
