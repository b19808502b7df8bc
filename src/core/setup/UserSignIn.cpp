#include "setup/UserSignIn.h"

#include "model/NoteRow.h"
#include "model/NoteTexts.h"
#include "model/Presence.h"
#include "model/TextRules.h"
#include "store/OfficeTable.h"
#include "store/Store.h"
#include "store/StoreWorker.h"
#include "store/UserTable.h"

#include <QCoreApplication>

#include <utility>

namespace vimo {
namespace {

SignInVerdict Refused(const QString& alert, std::optional<StoreFailure> failure = {})
{
    return { SignInVerdict::Next::Refused, QString(), alert, std::move(failure) };
}

SignInVerdict LookupFailed(const StoreFailure& failure)
{
    return Refused(
        QCoreApplication::translate("UserSignIn", "the user name cannot be looked up now."),
        failure);
}

} // namespace

std::optional<SignInVerdict> TypedNameRefused(const QString& typed)
{
    if (CutTrailingWhiteSpace(typed).isEmpty())
        return Refused(QCoreApplication::translate("UserSignIn", "There must be a User name"));
    if (const QString unseen = UnseenNameAlert(typed); !unseen.isEmpty())
        return Refused(unseen);
    return std::nullopt;
}

SignInVerdict CheckTypedName(Store& store, const QString& typed)
{
    const StoreResult<bool> known = UserTable(store).IsKnown(typed);
    if (known.Failure)
        return LookupFailed(*known.Failure);
    if (known.Value)
        return { SignInVerdict::Next::SignedIn, typed, {}, {} };
    // A note to a group's name goes to its members: nobody can be named so.
    const QString name = CutTrailingWhiteSpace(typed);
    if (name == EveryoneGroup || OfficeTable(store).Groups().Value.contains(name))
        return Refused(QCoreApplication::translate(
            "UserSignIn", "%1 is the name of a group; choose another user name.")
                           .arg(name));
    return { SignInVerdict::Next::AskToAdd, typed, {}, {} };
}

SignInVerdict AddUser(Store& store, const QString& name)
{
    return { SignInVerdict::Next::SignedIn, name, {}, UserTable(store).Add(name).Failure };
}

std::optional<SignInVerdict> BoundRoleRefused(const QString& role)
{
    if (role.size() > MaxUserNameLength || role != role.toUpper()) {
        return Refused(QCoreApplication::translate("UserSignIn",
            "The database role %1 cannot be a Vimo name: a name has at most 15 "
            "characters and no small letters. Ask the administrator for a role "
            "named as your colleagues write to you.")
                           .arg(role));
    }
    if (const QString unseen = UnseenNameAlert(role); !unseen.isEmpty())
        return Refused(unseen);
    return std::nullopt;
}

SignInVerdict CheckBoundRole(Store& store, const QString& role)
{
    const StoreResult<QStringList> missing = store.MissingGrants();
    if (missing.Failure)
        return LookupFailed(*missing.Failure);
    if (!missing.Value.isEmpty()) {
        const QString quoted = QLatin1Char('"')
            + QString(role).replace(QStringLiteral("\""), QStringLiteral("\"\""))
            + QLatin1Char('"');
        return Refused(QCoreApplication::translate("UserSignIn",
            "The database role %1 lacks %2.\nThe administrator must grant it: GRANT "
            "vimo_users TO %3")
                           .arg(role, missing.Value.join(QStringLiteral(", ")), quoted));
    }
    const StoreResult<bool> known = UserTable(store).IsKnown(role);
    if (known.Failure)
        return LookupFailed(*known.Failure);
    return known.Value ? SignInVerdict { SignInVerdict::Next::SignedIn, role, {}, {} }
                       : AddUser(store, role);
}

UserSignIn::UserSignIn(StoreWorker& worker, QObject* parent)
    : QObject(parent)
    , Users(worker)
{
}

void UserSignIn::Start()
{
    Users.Run([](Store& store) { return store.BoundRole(); }, this,
        [this](const QString& role) {
            Bound = role;
            RoleAnswered = true;
            Q_EMIT RoleKnown(Bound);
            if (const std::optional<QString> typed = std::exchange(Waiting, std::nullopt))
                Login(*typed);
        });
}

void UserSignIn::Login(const QString& typed)
{
    if (Busy)
        return;
    // Pressed before the store said whether it binds a role: runs once it has.
    if (!RoleAnswered) {
        Waiting = typed;
        return;
    }
    const std::optional<SignInVerdict> refused
        = Bound.isEmpty() ? TypedNameRefused(typed) : BoundRoleRefused(Bound);
    if (refused) {
        Say(*refused);
        return;
    }
    if (Bound.isEmpty())
        RunCheck([typed](Store& store) { return CheckTypedName(store, typed); });
    else
        RunCheck([role = Bound](Store& store) { return CheckBoundRole(store, role); });
}

void UserSignIn::Add(const QString& name)
{
    if (!Busy)
        RunCheck([name](Store& store) { return AddUser(store, name); });
}

void UserSignIn::Cancel()
{
    ++Round;
    Busy = false;
    Waiting.reset();
}

template <class Job> void UserSignIn::RunCheck(Job job)
{
    Busy = true;
    Users.Run(std::move(job), this, [this, round = ++Round](const SignInVerdict& verdict) {
        if (round == Round)
            Say(verdict);
    });
}

void UserSignIn::Say(const SignInVerdict& verdict)
{
    Busy = false;
    Q_EMIT Settled(verdict);
}

} // namespace vimo
