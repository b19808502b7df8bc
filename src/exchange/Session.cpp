#include "exchange/Session.h"

namespace vimo {
namespace {

QString& User()
{
    static QString user;
    return user;
}

} // namespace

const QString& CurrentUser()
{
    return User();
}

void SetCurrentUser(const QString& name)
{
    User() = name;
}

} // namespace vimo
