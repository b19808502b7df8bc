#include "app/GroupCommand.h"

#include "model/NoteTexts.h"
#include "store/OfficeTable.h"
#include "store/UserTable.h"

#include <QCoreApplication>

#include <cstdio>

namespace vimo {
namespace {

int Refused(const QString& why)
{
    std::fputs((QStringLiteral("vimo: ") + why + u'\n').toLocal8Bit().constData(), stderr);
    return 1;
}

void Print(const QString& group, const QStringList& members)
{
    std::fputs((group + QStringLiteral(": ") + members.join(QStringLiteral(", ")) + u'\n')
                   .toLocal8Bit()
                   .constData(),
        stdout);
}

} // namespace

int RunGroupCommand(Store& store, const QString& argument)
{
    const qsizetype equals = argument.indexOf(u'=');
    const QString group = argument.left(equals).trimmed().toUpper();
    const StoreResult<QStringList> users = UserTable(store).Names();
    if (users.Failure)
        return Refused(users.Failure->Error.Message);
    if (equals < 0) {
        if (group == EveryoneGroup) {
            Print(group, users.Value);
            return 0;
        }
        const StoreResult<QMap<QString, QStringList>> groups = OfficeTable(store).Groups();
        if (groups.Failure)
            return Refused(groups.Failure->Error.Message);
        if (!groups.Value.contains(group))
            return Refused(
                QCoreApplication::translate("Groups", "there is no group %1.").arg(group));
        Print(group, groups.Value.value(group));
        return 0;
    }
    const QStringList members = SplitRecipientNames(argument.mid(equals + 1).toUpper());
    if (const QString refusal = GroupChangeRefusal(group, members, users.Value); !refusal.isEmpty())
        return Refused(refusal);
    const StoreResult<> saved = OfficeTable(store).SetGroup(group, members);
    if (saved.Failure)
        return Refused(saved.Failure->Error.Message);
    Print(group, members);
    return 0;
}

} // namespace vimo
