#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace vimo::SocketFolder {

// The socket of one user's session: in the user's private runtime folder when there is one,
// else in a folder of the user's own under the temporary folder (made here, 0700), or under
// the user's cache folder when another user has taken that name. Empty when no such place can
// be had safely.
QString SocketPathFor(const QProcessEnvironment& environment, uint userId);

} // namespace vimo::SocketFolder
