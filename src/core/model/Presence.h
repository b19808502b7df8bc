#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

namespace vimo {

// How often a running copy says that its user is in, and how long after its last word a
// copy that stopped without a goodbye (a crash, a pulled cable) still counts as in.
inline constexpr int PresenceIntervalSec = 300;
inline constexpr int PresenceStaleSec = 2 * PresenceIntervalSec + 60;
// Past this a note's addressee is said to be out for a while.
inline constexpr int LongAbsenceSec = 24 * 60 * 60;

// What a copy writes in its user's row: running, running while the desktop is idle, or quit.
enum class PresenceState : int { Out = 0, In = 1, Away = 2 };

// One user's row, SEEN and NOW on the store's own clock (seconds since the epoch, UTC).
struct PresenceRow {
    QString Name;
    qint64 Seen = 0;
    PresenceState State = PresenceState::Out;
};

struct PresenceView {
    QHash<QString, PresenceRow> Rows; // by name
    qint64 Now = 0; // the store's clock when the rows were read
};

// "in", "away", or "last in Tue 1 Dec" ("last in 14:05" the same day); the empty text for a
// user with no row (an older copy, or one who hides their presence).
QString PresenceLabel(const PresenceView& view, const QString& name);

// True when the name's row says they were last in more than a day ago.
bool LongAbsent(const PresenceView& view, const QString& name);

// "BOB has not been in since Friday; the note waits for him." for each name long absent.
QString LongAbsenceNotice(const PresenceView& view, const QStringList& names);

// The built-in group of every user; never stored.
inline constexpr char16_t EveryoneGroup[] = u"ALL";

// A group's name follows the rules of a user's: upper case, 1 to 15 characters, no comma.
bool IsValidGroupName(const QString& name);

} // namespace vimo
