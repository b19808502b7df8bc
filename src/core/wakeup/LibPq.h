#pragma once

#include <libpq-fe.h>

namespace vimo {

// The libpq calls of the listening link.
#define VIMO_LIBPQ_CALLS(X)                                                                        \
    X(PQconnectStartParams)                                                                        \
    X(PQconnectPoll)                                                                               \
    X(PQstatus)                                                                                    \
    X(PQsocket)                                                                                    \
    X(PQsetnonblocking)                                                                            \
    X(PQsendQuery)                                                                                 \
    X(PQflush)                                                                                     \
    X(PQconsumeInput)                                                                              \
    X(PQisBusy)                                                                                    \
    X(PQgetResult)                                                                                 \
    X(PQresultStatus)                                                                              \
    X(PQresultErrorMessage)                                                                        \
    X(PQntuples)                                                                                   \
    X(PQgetvalue)                                                                                  \
    X(PQclear)                                                                                     \
    X(PQnotifies)                                                                                  \
    X(PQfreemem)                                                                                   \
    X(PQerrorMessage)                                                                              \
    X(PQfinish)                                                                                    \
    X(PQconninfoParse)                                                                             \
    X(PQconninfoFree)                                                                              \
    X(PQsetNoticeProcessor)

// libpq, loaded on first use rather than linked: a copy on a SQLite store then never maps it
// and the TLS, Kerberos and LDAP libraries it brings (about 5 MB of RSS). On a PostgreSQL
// store psqlODBC has loaded it already.
struct LibPq {
    // NOLINTNEXTLINE(bugprone-macro-parentheses): name is the member's own name, no expression
#define VIMO_LIBPQ_MEMBER(name) decltype(&::name) name = nullptr;
    VIMO_LIBPQ_CALLS(VIMO_LIBPQ_MEMBER)
#undef VIMO_LIBPQ_MEMBER

    // The library, loaded once for the process; nullptr when libpq.so.5 is not installed.
    static const LibPq* Get();
};

} // namespace vimo
