#pragma once

#include <mosquitto.h>

namespace vimo {

// The libmosquitto calls of the broker link.
#define VIMO_LIBMOSQUITTO_CALLS(X)                                                                 \
    X(mosquitto_lib_init)                                                                          \
    X(mosquitto_new)                                                                               \
    X(mosquitto_destroy)                                                                           \
    X(mosquitto_username_pw_set)                                                                   \
    X(mosquitto_tls_set)                                                                           \
    X(mosquitto_connect_async)                                                                     \
    X(mosquitto_disconnect)                                                                        \
    X(mosquitto_subscribe)                                                                         \
    X(mosquitto_publish)                                                                           \
    X(mosquitto_socket)                                                                            \
    X(mosquitto_want_write)                                                                        \
    X(mosquitto_loop_read)                                                                         \
    X(mosquitto_loop_write)                                                                        \
    X(mosquitto_loop_misc)                                                                         \
    X(mosquitto_connect_callback_set)                                                              \
    X(mosquitto_disconnect_callback_set)                                                           \
    X(mosquitto_subscribe_callback_set)                                                            \
    X(mosquitto_message_callback_set)                                                              \
    X(mosquitto_strerror)

// libmosquitto, loaded on first use rather than linked, as libpq is: only a copy whose data
// source names a broker maps it and the TLS libraries it brings.
struct LibMosquitto {
    // NOLINTNEXTLINE(bugprone-macro-parentheses): name is the member's own name, no expression
#define VIMO_LIBMOSQUITTO_MEMBER(name) decltype(&::name) name = nullptr;
    VIMO_LIBMOSQUITTO_CALLS(VIMO_LIBMOSQUITTO_MEMBER)
#undef VIMO_LIBMOSQUITTO_MEMBER

    // The library, loaded and initialised once for the process; nullptr when libmosquitto.so.1
    // is not installed.
    static const LibMosquitto* Get();
};

} // namespace vimo
