#pragma once

#include "model/NoteRow.h"

#include <QDateTime>
#include <QList>

#include <functional>

// What a poll does with the rows it read, apart from any window.
namespace vimo {

struct DeliveryPlan {
    // Keys whose window shows a row that is no longer there under that key: another copy
    // deleted the note and a new one took its key. The window goes.
    QList<qint64> StaleKeys;
    // The rows to open, in the store's order: one per key that has no window (left), the
    // first of its rows when a key is stored twice.
    QList<NoteRow> ToOpen;
};

// shownRow gives the row of the window open for a key, or nullptr. A row whose deletion
// waits for the store is neither opened nor taken as a reason to close a window.
DeliveryPlan PlanDelivery(const QList<NoteRow>& polled,
    const std::function<const NoteRow*(qint64 key)>& shownRow,
    const QList<NoteRow>& deferredDeletions);

// Whether polls reach the store, as the tray shows it: an outage starts with the first poll
// that fails and ends with the first that reads its rows.
class StoreReachability {
public:
    // True when this failure starts an outage.
    bool PollFailed(const QDateTime& at);
    // True when this success ends one.
    bool PollSucceeded();
    bool IsOut() const { return Since.isValid(); }
    // When the outage began: the first failed poll.
    QDateTime OutageSince() const { return Since; }

private:
    QDateTime Since;
};

// The alert for notes that find no free slot comes once, and again only when their number
// changes: not once per note and poll.
class WaitingNotesNotice {
public:
    // True when the user is to be told about this many waiting notes now.
    bool ShouldTell(int waiting);

private:
    int Told = 0;
};

} // namespace vimo
