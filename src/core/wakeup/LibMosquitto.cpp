#include "wakeup/LibMosquitto.h"

#include <dlfcn.h>

namespace vimo {

const LibMosquitto* LibMosquitto::Get()
{
    static const LibMosquitto* const loaded = []() -> const LibMosquitto* {
        // Never closed: the calls are used for as long as the program runs.
        void* library = ::dlopen("libmosquitto.so.1", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr)
            return nullptr;
        static LibMosquitto calls;
#define VIMO_LIBMOSQUITTO_LOAD(name)                                                               \
    calls.name = reinterpret_cast<decltype(&::name)>(::dlsym(library, #name));                     \
    if (calls.name == nullptr)                                                                     \
        return nullptr;
        VIMO_LIBMOSQUITTO_CALLS(VIMO_LIBMOSQUITTO_LOAD)
#undef VIMO_LIBMOSQUITTO_LOAD
        if (calls.mosquitto_lib_init() != MOSQ_ERR_SUCCESS)
            return nullptr;
        return &calls;
    }();
    return loaded;
}

} // namespace vimo
