#include "store/OfficeTable.h"

#include "model/NoteRow.h"
#include "model/TextRules.h"
#include "store/OfficeStatements.h"
#include "store/StoreSql.h"

#include <QCoreApplication>

namespace vimo {

QList<StoreFailure> OfficeTable::Create()
{
    QList<StoreFailure> refused;
    for (const QString& statement : { PresenceTableCreation(), GroupsTableCreation() }) {
        StoreResult<> result = StoreSql(Link).Exec(statement);
        if (result.Failure)
            refused.append(std::move(*result.Failure));
    }
    return refused;
}

bool OfficeTable::DataFile() const
{
    return Link.EngineName().contains(QLatin1String("SQLite"), Qt::CaseInsensitive);
}

StoreResult<> OfficeTable::SayPresence(const QString& user, PresenceState state)
{
    if (Link.ThroughFunctions())
        return StoreSql(Link).Exec(PresenceCall(int(state)));
    return StoreSql(Link).Exec(PresenceStatement(user, int(state), DataFile()));
}

StoreResult<> OfficeTable::HidePresence(const QString& user)
{
    return StoreSql(Link).Exec(
        Link.ThroughFunctions() ? PresenceForgetCall() : PresenceForgetStatement(user));
}

StoreResult<PresenceView> OfficeTable::Presence()
{
    StoreResult<QList<QStringList>> rows = StoreSql(Link).Rows(
        Link.ThroughFunctions() ? PresenceListCall() : PresenceQuery(DataFile()), 4);
    StoreResult<PresenceView> view { {}, std::move(rows.Failure) };
    for (QStringList& row : rows.Value) {
        TrimTrailingBlanks(row[0]);
        if (row[0].isEmpty())
            continue;
        view.Value.Rows.insert(
            row[0], { row[0], row[1].toLongLong(), PresenceState(qBound(0, row[2].toInt(), 2)) });
        view.Value.Now = row[3].toLongLong();
    }
    return view;
}

StoreResult<QMap<QString, QStringList>> OfficeTable::Groups()
{
    StoreResult<QList<QStringList>> rows
        = StoreSql(Link).Rows(Link.ThroughFunctions() ? GroupsCall() : GroupsQuery(), 2);
    StoreResult<QMap<QString, QStringList>> groups { {}, std::move(rows.Failure) };
    for (QStringList& row : rows.Value) {
        TrimTrailingBlanks(row[0]);
        TrimTrailingBlanks(row[1]);
        if (!row[0].isEmpty() && !row[1].isEmpty())
            groups.Value[row[0]].append(row[1]);
    }
    return groups;
}

StoreResult<> OfficeTable::SetGroup(const QString& group, const QStringList& members)
{
    if (Link.ThroughFunctions())
        return StoreSql(Link).Exec(GroupSetCall(group, members));
    StoreSql sql(Link);
    // All members or none: a broken link must not leave half a group.
    if (StoreResult<> begun = sql.BeginWrite(); begun.Failure)
        return begun;
    StoreResult<> result = sql.Exec(GroupClearStatement(group), StoreSql::Retry::Never);
    for (const QString& member : members) {
        if (result.Failure)
            break;
        result = sql.Exec(GroupMemberStatement(group, member), StoreSql::Retry::Never);
    }
    if (result.Failure) {
        sql.RollBack();
        return result;
    }
    return sql.Commit();
}

QString GroupChangeRefusal(
    const QString& group, const QStringList& members, const QStringList& users)
{
    const auto tr = [](const char* text) { return QCoreApplication::translate("Groups", text); };
    if (!IsValidGroupName(group))
        return tr("A group's name is written in capitals, 1 to 15 characters, with no comma.");
    if (group == EveryoneGroup)
        return tr("ALL is every user already; it cannot be changed.");
    if (users.contains(group))
        return tr("%1 is a user's name; a group needs a name of its own.").arg(group);
    for (const QString& member : members) {
        if (!users.contains(member))
            return tr("%1 is no user; a group holds users only.").arg(member);
    }
    return {};
}

QStringList ExpandRecipients(const QStringList& typed, const QStringList& users,
    const QMap<QString, QStringList>& groups, const QString& sender, QString* unknown)
{
    QStringList names;
    const auto add = [&names](const QString& name) {
        if (!names.contains(name))
            names.append(name);
    };
    for (const QString& name : typed) {
        // A user keeps their name even where a group of it was stored before them.
        if (users.contains(name)) {
            add(name);
            continue;
        }
        const QStringList members
            = name == EveryoneGroup ? users : groups.value(name, { QString() });
        if (members.size() == 1 && members.first().isEmpty()) {
            if (unknown)
                *unknown = name;
            return {};
        }
        for (const QString& member : members) {
            if (member != sender && users.contains(member))
                add(member);
        }
    }
    return names;
}

} // namespace vimo
