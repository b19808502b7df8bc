#pragma once

#include "app/StartOptions.h"

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;

namespace vimo {

class SessionPeer;

// One copy of Vimo runs for each user on each desktop session; later starts hand their
// command to it through a local socket that only this user can reach, and end. The socket is
// the system's own, watched by the event loop: a whole network library for one line a day
// would cost every copy over a megabyte.
class SessionChannel : public QObject {
    Q_OBJECT

public:
    // The channel of this user and session, as the environment names them.
    SessionChannel();
    // A channel at the given socket path (tests).
    explicit SessionChannel(QString socketPath);
    ~SessionChannel() override;

    // Gives the command to the copy already serving this session (a plain start asks for a
    // new note). True when a copy runs there, whether or not it answered: this start must
    // then not become a second copy. Until Listen, other starts wait for this one.
    bool HandOver(DesktopCommand command);

    // Serves the session from now on; false (and this copy runs alone) when the socket
    // cannot be made.
    bool Listen();

Q_SIGNALS:
    // Another start asked for this; emitted after that start has had its answer.
    void CommandReceived(vimo::DesktopCommand command);

private:
    void AcceptStarts();
    void Answer(SessionPeer* peer);

    QString Path;
    std::unique_ptr<QLockFile> Lock;
    int ListeningSocket = -1;
    QSocketNotifier* Listening = nullptr;
};

} // namespace vimo
