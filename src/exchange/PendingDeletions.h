#pragma once

#include <vector>

namespace vimo {

struct DeleteRequest {
    int Key = -1;
    int Slot = -1;
};

// Delete requests waiting for the delete timer. Every request is kept until the timer fires,
// so a second Delete within the wait no longer drops the first; a note that asks twice is
// deleted once.
class PendingDeletions {
public:
    void Add(int key, int slot);

    // Hands over every waiting request, oldest first, and leaves none.
    std::vector<DeleteRequest> TakeAll();

private:
    std::vector<DeleteRequest> Requests;
};

} // namespace vimo
