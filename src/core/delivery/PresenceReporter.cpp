#include "delivery/PresenceReporter.h"

#include "setup/Profile.h"
#include "store/OfficeTable.h"
#include "store/StoreWorker.h"

#include <QLoggingCategory>
#include <QTimer>

namespace vimo {
namespace {

Q_LOGGING_CATEGORY(PresenceLog, "vimo.presence", QtInfoMsg)

void Logged(const StoreResult<>& result)
{
    if (result.Failure)
        qCDebug(
            PresenceLog, "presence not written: %s", qUtf8Printable(result.Failure->Error.Message));
}

} // namespace

PresenceReporter::PresenceReporter(StoreWorker& worker, QString user, QObject* parent)
    : QObject(parent)
    , Worker(worker)
    , User(std::move(user))
    , Timer(new QTimer(this))
{
    Timer->setObjectName(QStringLiteral("PresenceTimer"));
    Timer->setInterval(PresenceIntervalSec * 1000);
    connect(Timer, &QTimer::timeout, this, &PresenceReporter::Beat);
}

bool PresenceReporter::Shown()
{
    const QString value = ReadProfileValue(QStringLiteral("Vimo"), QStringLiteral("ShowPresence"))
                              .trimmed()
                              .toLower();
    return !(value == u"false" || value == u"0" || value == u"no" || value == u"off");
}

void PresenceReporter::Start()
{
    Running = true;
    if (!Shown()) {
        Worker.Post([user = User](Store& store) { Logged(OfficeTable(store).HidePresence(user)); });
        return;
    }
    Beat();
    Timer->start();
}

void PresenceReporter::Stop()
{
    if (!std::exchange(Running, false) || !Timer->isActive())
        return;
    Timer->stop();
    Worker.Post([user = User](Store& store) {
        Logged(OfficeTable(store).SayPresence(user, PresenceState::Out));
    });
}

void PresenceReporter::SetIdle(bool idle)
{
    if (std::exchange(Idle, idle) != idle && Timer->isActive())
        Beat();
}

void PresenceReporter::Beat()
{
    const PresenceState state = Idle ? PresenceState::Away : PresenceState::In;
    Worker.Run(
        [user = User, state](Store& store) { return OfficeTable(store).SayPresence(user, state); },
        this,
        [this](const StoreResult<>& said) {
            Logged(said);
            // A store that refuses the statement itself (an older one without the table, a
            // server that lacks the functions) would refuse it all day, and log each time.
            if (said.Failure && !said.Failure->OutOfReach())
                Timer->stop();
        });
}

} // namespace vimo
