#include "model/Presence.h"

#include "model/NoteRow.h"

#include <QCoreApplication>
#include <QLocale>

namespace vimo {
namespace {

bool Recent(const PresenceView& view, const PresenceRow& row)
{
    return view.Now - row.Seen <= PresenceStaleSec;
}

QDateTime LocalMoment(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toLocalTime();
}

} // namespace

QString PresenceLabel(const PresenceView& view, const QString& name)
{
    const auto found = view.Rows.constFind(name);
    if (found == view.Rows.constEnd())
        return {};
    const PresenceRow& row = *found;
    if (row.State != PresenceState::Out && Recent(view, row)) {
        return row.State == PresenceState::Away ? QCoreApplication::translate("Presence", "away")
                                                : QCoreApplication::translate("Presence", "in");
    }
    const QDateTime seen = LocalMoment(row.Seen);
    const QString when = seen.date() == LocalMoment(view.Now).date()
        ? QLocale().toString(seen.time(), QStringLiteral("HH:mm"))
        : QLocale().toString(seen.date(), QCoreApplication::translate("Presence", "ddd d MMM"));
    return QCoreApplication::translate("Presence", "last in %1").arg(when);
}

bool LongAbsent(const PresenceView& view, const QString& name)
{
    const auto found = view.Rows.constFind(name);
    return found != view.Rows.constEnd() && view.Now - found->Seen > LongAbsenceSec
        && !(found->State != PresenceState::Out && Recent(view, *found));
}

QString LongAbsenceNotice(const PresenceView& view, const QStringList& names)
{
    QStringList lines;
    for (const QString& name : names) {
        if (!LongAbsent(view, name))
            continue;
        const QDate seen = LocalMoment(view.Rows[name].Seen).date();
        // Within the last week the weekday says it; before that the date.
        const QString since = seen.daysTo(LocalMoment(view.Now).date()) < 7
            ? QLocale().standaloneDayName(seen.dayOfWeek())
            : QLocale().toString(seen, QCoreApplication::translate("Presence", "ddd d MMM"));
        lines.append(QCoreApplication::translate(
            "Presence", "%1 has not been in since %2; the note waits for them.")
                         .arg(name, since));
    }
    return lines.join(u'\n');
}

bool IsValidGroupName(const QString& name)
{
    return !name.isEmpty() && name.size() <= MaxUserNameLength && name == name.toUpper()
        && !name.contains(u',') && name.trimmed() == name;
}

} // namespace vimo
