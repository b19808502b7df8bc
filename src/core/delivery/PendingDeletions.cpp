#include "delivery/PendingDeletions.h"

#include <algorithm>
#include <utility>

namespace vimo {

void PendingDeletions::Add(int slot, const NoteRow& row)
{
    const bool known = std::any_of(
        Requests.begin(), Requests.end(), [&](const DeleteRequest& r) { return r.Slot == slot; });
    if (!known)
        Requests.push_back({ slot, row });
}

void PendingDeletions::Drop(int slot)
{
    std::erase_if(Requests, [slot](const DeleteRequest& r) { return r.Slot == slot; });
}

std::vector<DeleteRequest> PendingDeletions::TakeAll()
{
    return std::exchange(Requests, {});
}

void PendingDeletions::Defer(const NoteRow& row)
{
    if (!Deferred.contains(row))
        Deferred.append(row);
}

void PendingDeletions::Forget(const NoteRow& row)
{
    Deferred.removeAll(row);
}

} // namespace vimo
