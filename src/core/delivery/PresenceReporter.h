#pragma once

#include "model/Presence.h"

#include <QObject>
#include <QString>

class QTimer;

namespace vimo {

class StoreWorker;

// Tells the store that the user is in: at sign-in, every PresenceIntervalSec while the copy
// runs, and "out" at quit, one upsert each on the worker. A write that fails while the store is
// out of reach is tried again at the next beat; one the store refuses ends the beats. Presence
// is never worth an alert. With the setting ShowPresence=false in
// the "Vimo" section the user's row goes instead, and nothing more is written.
class PresenceReporter : public QObject {
    Q_OBJECT

public:
    PresenceReporter(StoreWorker& worker, QString user, QObject* parent = nullptr);

    void Start();
    // Says "out", once.
    void Stop();
    // Where the desktop can tell: idle turns "in" into "away" from the next beat on.
    void SetIdle(bool idle);

    // False when the user's settings hide their presence.
    static bool Shown();

private:
    void Beat();

    StoreWorker& Worker;
    const QString User;
    QTimer* const Timer;
    bool Idle = false;
    bool Running = false;
};

} // namespace vimo
