#include "exchange/PendingDeletions.h"

#include <algorithm>
#include <utility>

namespace vimo {

void PendingDeletions::Add(int key, int slot)
{
    const bool known = std::any_of(
        Requests.begin(), Requests.end(), [&](const DeleteRequest& r) { return r.Slot == slot; });
    if (!known)
        Requests.push_back({ key, slot });
}

std::vector<DeleteRequest> PendingDeletions::TakeAll()
{
    return std::exchange(Requests, {});
}

} // namespace vimo
