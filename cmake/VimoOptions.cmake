# One target that carries the language standard, warnings and Qt defines for every target.
add_library(vimo_options INTERFACE)
target_compile_features(vimo_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(vimo_options INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(vimo_options INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_KEYWORDS)

if(VIMO_SANITIZE)
    # A report ends the run, so that a test that triggers one fails.
    target_compile_options(vimo_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(vimo_options INTERFACE -fsanitize=address,undefined)
endif()

set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTOUIC ON)
set(CMAKE_AUTORCC ON)
set(CMAKE_AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/resources/ui)

# Debian's hardening flags (dpkg-buildflags, all features) on every binary: fortified
# functions, stack protector, format checks, full RELRO and binding at load. The build type
# keeps choosing optimisation and debug information; fortify needs an optimised build.
option(VIMO_HARDENING "Build with the hardening flags of dpkg-buildflags" ON)
find_program(VIMO_DPKG_BUILDFLAGS dpkg-buildflags)
if(VIMO_HARDENING AND VIMO_DPKG_BUILDFLAGS)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${VIMO_DPKG_BUILDFLAGS} --get ${kind}
            OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
        separate_arguments(flags UNIX_COMMAND "${flags}")
        foreach(flag IN LISTS flags)
            if(flag MATCHES "^-(O|g|f[a-z]*-prefix-map)")
                continue()
            elseif(flag MATCHES "^-D_FORTIFY_SOURCE")
                target_compile_options(vimo_options INTERFACE $<$<NOT:$<CONFIG:Debug>>:${flag}>)
            elseif(kind STREQUAL LDFLAGS)
                target_link_options(vimo_options INTERFACE ${flag})
            else()
                target_compile_options(vimo_options INTERFACE ${flag})
            endif()
        endforeach()
    endforeach()
endif()
