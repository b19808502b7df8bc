#pragma once

#include <QString>

namespace vimo {

// The signed-in user: empty until sign-in, then fixed for the whole run.
const QString& CurrentUser();
void SetCurrentUser(const QString& name);

} // namespace vimo
