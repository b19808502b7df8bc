#pragma once

#include "store/SqlStatement.h"

#include <QString>
#include <QStringList>

// The statements of who is in (VIMO_PRESENCE, one row per user) and of groups (VIMO_GROUPS,
// one row per member). Copies that know only the three tables never read either.
namespace vimo {

QString PresenceTableCreation();
QString GroupsTableCreation();

// The current moment in seconds since the epoch, on the clock that writes presence: the
// writer's own on a data file, the server's elsewhere, so that copies with clocks apart
// still agree on who is in.
QString StoreNowExpression(bool dataFile);

// One upsert per beat: the user's row with the store's time and the state.
SqlStatement PresenceStatement(const QString& name, int state, bool dataFile);
// The user hides their presence: their row goes.
SqlStatement PresenceForgetStatement(const QString& name);
// NAME, SEEN, STATE of everybody, and the store's NOW in each row.
QString PresenceQuery(bool dataFile);

// GRP, MEMBER of every group, by group.
QString GroupsQuery();
SqlStatement GroupClearStatement(const QString& group);
SqlStatement GroupMemberStatement(const QString& group, const QString& member);

// The identity functions': the caller's own row, its removal, and everybody's rows; every
// group, and the change of one (members as "ANN,BOB"; none removes the group).
SqlStatement PresenceCall(int state);
QString PresenceForgetCall();
QString PresenceListCall();
QString GroupsCall();
SqlStatement GroupSetCall(const QString& group, const QStringList& members);

} // namespace vimo
