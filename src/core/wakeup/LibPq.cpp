#include "wakeup/LibPq.h"

#include <dlfcn.h>

namespace vimo {

const LibPq* LibPq::Get()
{
    static const LibPq* const loaded = []() -> const LibPq* {
        // Never closed: the calls are used for as long as the program runs.
        void* library = ::dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr)
            return nullptr;
        static LibPq calls;
#define VIMO_LIBPQ_LOAD(name)                                                                      \
    calls.name = reinterpret_cast<decltype(&::name)>(::dlsym(library, #name));                     \
    if (calls.name == nullptr)                                                                     \
        return nullptr;
        VIMO_LIBPQ_CALLS(VIMO_LIBPQ_LOAD)
#undef VIMO_LIBPQ_LOAD
        return &calls;
    }();
    return loaded;
}

} // namespace vimo
