#include "delivery/Delivery.h"

#include <QHash>

namespace vimo {

DeliveryPlan PlanDelivery(const QList<NoteRow>& polled,
    const std::function<const NoteRow*(qint64 key)>& shownRow,
    const QList<NoteRow>& deferredDeletions)
{
    // Every row of a key, keys in the order the store first gave them.
    QList<qint64> order;
    QHash<qint64, QList<const NoteRow*>> rowsOfKey;
    for (const NoteRow& row : polled) {
        if (deferredDeletions.contains(row))
            continue;
        QList<const NoteRow*>& rows = rowsOfKey[row.Key];
        if (rows.isEmpty())
            order.append(row.Key);
        rows.append(&row);
    }

    DeliveryPlan plan;
    for (const qint64 key : std::as_const(order)) {
        const QList<const NoteRow*>& rows = rowsOfKey[key];
        if (const NoteRow* shown = shownRow(key)) {
            // Two rows under one key show as one window, whichever of them it shows.
            const bool stillThere = std::any_of(
                rows.begin(), rows.end(), [&](const NoteRow* row) { return *row == *shown; });
            if (stillThere)
                continue;
            plan.StaleKeys.append(key);
        }
        plan.ToOpen.append(*rows.first());
    }
    return plan;
}

bool StoreReachability::PollFailed(const QDateTime& at)
{
    if (IsOut())
        return false;
    Since = at;
    return true;
}

bool StoreReachability::PollSucceeded()
{
    if (!IsOut())
        return false;
    Since = QDateTime();
    return true;
}

bool WaitingNotesNotice::ShouldTell(int waiting)
{
    if (waiting == Told)
        return false;
    Told = waiting;
    return waiting > 0;
}

} // namespace vimo
