#include "tray/FreeMemory.h"

// Any header of the C library says whether it is glibc's; without one first, __GLIBC__ is
// never defined here and both calls do nothing.
#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace vimo {

void UseOneHeap()
{
#ifdef __GLIBC__
    mallopt(M_ARENA_MAX, 1);
#endif
}

void ReturnFreeMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace vimo
