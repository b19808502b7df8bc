#pragma once

#include "model/Presence.h"
#include "store/StoreResult.h"

#include <QList>
#include <QMap>
#include <QStringList>

namespace vimo {

class Store;

// Who is in, and the groups, on one link. Both are extras: a store without their tables (an
// older copy's that this one may not change) reads as nobody's presence and no groups, and
// a write there fails quietly for the caller to log.
class OfficeTable {
public:
    explicit OfficeTable(Store& store)
        : Link(store)
    {
    }

    // Makes both tables where they are missing. Returns every creation the store refused.
    QList<StoreFailure> Create();

    // The user's row now: signed in, still running, idle, or quit. Through the identity
    // functions the server takes the name from the login.
    StoreResult<> SayPresence(const QString& user, PresenceState state);
    // The user hides their presence: nobody sees it until they show it again.
    StoreResult<> HidePresence(const QString& user);
    StoreResult<PresenceView> Presence();

    // Every stored group with its members, by name. "ALL" is not among them.
    StoreResult<QMap<QString, QStringList>> Groups();
    // Makes the group or gives it these members; no member removes it. The caller has
    // checked the names (GroupChangeRefusal).
    StoreResult<> SetGroup(const QString& group, const QStringList& members);

private:
    bool DataFile() const;

    Store& Link;
};

// Why a group cannot be given these members, or the empty text: a group's name is no user's
// and not "ALL", follows the rules of a user's name, and every member is a known user.
QString GroupChangeRefusal(
    const QString& group, const QStringList& members, const QStringList& users);

// The names a note goes to: each user as typed, each group as its members and "ALL" as every
// user, the sender left out of the groups; each name once, in order. A name that is neither
// comes back in unknown.
QStringList ExpandRecipients(const QStringList& typed, const QStringList& users,
    const QMap<QString, QStringList>& groups, const QString& sender, QString* unknown);

} // namespace vimo
