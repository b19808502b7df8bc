#pragma once

#include "store/StoreResult.h"

#include <QObject>
#include <QString>

#include <optional>

namespace vimo {

class Store;
class StoreWorker;

// What became of a Login, for the sign-in dialog to show.
struct SignInVerdict {
    enum class Next {
        SignedIn, // Name is the copy's from now on
        Refused, // Alert says why; the dialog stays open
        AskToAdd, // Name is nobody's yet: whether to add it is the user's answer
    };
    Next Step = Next::Refused;
    QString Name;
    // With a failure: what could not be done because of it.
    QString Alert;
    // Refused: the lookup that failed. Signed in: the name could not be added, which the
    // store's own words say; the copy signs in all the same.
    std::optional<StoreFailure> Failure;
};

// The refusals that need no store: a typed name of blanks only, which the statements would cut
// to nobody, and one with characters nobody sees.
std::optional<SignInVerdict> TypedNameRefused(const QString& typed);
// Looks the typed name up: known signs in, a group's name is refused, an unknown one is asked
// about. A lookup that failed says nothing about the name, so it asks nothing either.
SignInVerdict CheckTypedName(Store& store, const QString& typed);
// Adds the name the user agreed to; signs in also when the store refuses it.
SignInVerdict AddUser(Store& store, const QString& name);

// The refusals of a bound role that need no store: others could never write to a name the
// pickers and the store do not take as it is.
std::optional<SignInVerdict> BoundRoleRefused(const QString& role);
// Signs in as the bound role once it holds every grant a copy uses, adding it when new,
// without a question: without the grants the tray would stay empty, or fail at the first
// note, for no reason the user could see.
SignInVerdict CheckBoundRole(Store& store, const QString& role);

// The rules of signing in, each check a job on the store's worker. Asks first for the role
// the store binds this copy to (RoleKnown); Login then checks the name and says the verdict
// through Settled, once per Login; one pressed before RoleKnown runs once it comes. A Login
// while one runs is ignored; a Cancel drops the answer still on its way.
class UserSignIn : public QObject {
    Q_OBJECT

public:
    explicit UserSignIn(StoreWorker& worker, QObject* parent = nullptr);

    // Asks the store for the bound role; RoleKnown follows.
    void Start();
    bool IsRoleKnown() const { return RoleAnswered; }
    // Empty where names are typed.
    const QString& BoundName() const { return Bound; }
    bool IsBusy() const { return Busy; }

    // Checks the typed name, or the bound role where there is one.
    void Login(const QString& typed);
    // After AskToAdd and a yes.
    void Add(const QString& name);
    void Cancel();

Q_SIGNALS:
    void RoleKnown(const QString& boundName);
    void Settled(const vimo::SignInVerdict& verdict);

private:
    template <class Job> void RunCheck(Job job);
    void Say(const SignInVerdict& verdict);

    StoreWorker& Users;
    QString Bound;
    bool RoleAnswered = false;
    // The name of a Login pressed before RoleKnown.
    std::optional<QString> Waiting;
    bool Busy = false;
    // Counts the Logins and Cancels, so that an answer knows whether it is still awaited.
    int Round = 0;
};

} // namespace vimo
