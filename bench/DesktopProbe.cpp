// Starts a program on an X display with a tray host and watches it from outside, as a user
// would see it: the time from exec until its sign-in window maps, the time from the key press
// that signs in (as the X server hands it to the window) until its tray icon is docked and
// mapped, and then, once its memory has settled, its memory and what it added to the X server.
//   vimo_bench_desktop TITLE NAME KEYS WINDOWS XSERVER_PID SETTLE_S -- PROGRAM [ARGUMENTS...]
// TITLE is the sign-in window's title, NAME is typed into it, then KEYS (xdotool key names,
// blank-separated) are pressed: the clock for the tray icon starts at the last one. WINDOWS
// is how many more top-level windows (notes) to wait for. SETTLE_S is the least time after
// the tray icon before memory is read (a copy's first timed poll comes after 20 s); then it is
// read once RSS has not grown for 10 s. Prints one "desktop" row; its last field is what the
// store's libraries hold of the RSS.

#include "Figures.h"

#include <xcb/xcb.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vimo::bench;

namespace {

xcb_connection_t* X = nullptr;
xcb_window_t Root = 0;

xcb_atom_t Atom(const char* name)
{
    auto* reply = xcb_intern_atom_reply(
        X, xcb_intern_atom(X, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

std::string Title(xcb_window_t window)
{
    static const xcb_atom_t netName = Atom("_NET_WM_NAME");
    for (xcb_atom_t property : { netName, xcb_atom_t(XCB_ATOM_WM_NAME) }) {
        auto* reply = xcb_get_property_reply(X,
            xcb_get_property(X, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
        std::string text;
        if (reply)
            text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                size_t(xcb_get_property_value_length(reply)));
        std::free(reply);
        if (!text.empty())
            return text;
    }
    return {};
}

bool IsMapped(xcb_window_t window)
{
    auto* reply = xcb_get_window_attributes_reply(X, xcb_get_window_attributes(X, window), nullptr);
    const bool mapped = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    return mapped;
}

// What the store's libraries hold of the RSS: SQLite, the driver manager and the driver. Their
// code is mapped by the page, and the kernel maps the pages around each one touched that the
// page cache holds, so a program that opens the store at all holds most of their code.
long StoreLibrariesKb(const std::string& smaps)
{
    std::ifstream in(smaps);
    std::string line;
    bool store = false;
    long kb = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0]))
            && line.find('-') < line.find(' ')) {
            store = line.find("sqlite") != std::string::npos
                || line.find("odbc") != std::string::npos
                || line.find("libltdl") != std::string::npos;
        } else if (store && line.compare(0, 4, "Rss:") == 0) {
            kb += std::stol(line.substr(4));
        }
    }
    return kb;
}

xcb_window_t FocusedWindow()
{
    auto* reply = xcb_get_input_focus_reply(X, xcb_get_input_focus(X), nullptr);
    const xcb_window_t focus = reply ? reply->focus : 0;
    std::free(reply);
    return focus;
}

// Waits for the next event, at most until the deadline; nullptr when it passed.
xcb_generic_event_t* NextEvent(double deadline)
{
    while (NowMs() < deadline) {
        if (xcb_generic_event_t* event = xcb_poll_for_event(X))
            return event;
        if (xcb_connection_has_error(X))
            return nullptr;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return nullptr;
}

double CpuTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14 || i == 15) // utime, stime
            ticks += std::stod(field);
    }
    return ticks;
}

pid_t Start(const char* program, const char* const* arguments)
{
    pid_t pid = 0;
    if (posix_spawnp(&pid, program, nullptr, nullptr, const_cast<char* const*>(arguments), environ)
        != 0)
        return -1;
    return pid;
}

int Finished(pid_t pid)
{
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Run(const char* program, const char* const* arguments)
{
    return Finished(Start(program, arguments));
}

[[noreturn]] void Fail(pid_t child, const char* what)
{
    std::fprintf(stderr, "desktop probe: %s\n", what);
    if (child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    std::exit(1);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 9 || std::strcmp(argv[7], "--") != 0) {
        std::fprintf(stderr,
            "usage: %s TITLE NAME KEYS WINDOWS XSERVER_PID SETTLE_S -- PROGRAM [ARGS...]\n",
            argv[0]);
        return 2;
    }
    const std::string title = argv[1];
    const char* name = argv[2];
    std::vector<std::string> keys;
    std::istringstream keyList(argv[3]);
    for (std::string key; keyList >> key;)
        keys.push_back(key);
    if (keys.empty())
        return 2;
    const int notes = std::atoi(argv[4]);
    const std::string xserverStatus = std::string("/proc/") + argv[5] + "/status";
    const double settleMs = std::atof(argv[6]) * 1000;

    X = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(X))
        Fail(0, "no X display");
    Root = xcb_setup_roots_iterator(xcb_get_setup(X)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(X, Root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(X);

    const long xserverBefore = ProcKb(xserverStatus, "VmRSS");
    const double start = NowMs();
    pid_t child = 0;
    if (posix_spawn(&child, argv[8], nullptr, nullptr, argv + 8, environ) != 0)
        Fail(0, "cannot start the program");

    // The sign-in window.
    xcb_window_t signIn = 0;
    double windowMs = 0;
    while (signIn == 0) {
        xcb_generic_event_t* event = NextEvent(start + 60000);
        if (event == nullptr)
            Fail(child, "no sign-in window");
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (map->event == Root && Title(map->window) == title) {
                windowMs = NowMs() - start;
                signIn = map->window;
                const uint32_t keys = XCB_EVENT_MASK_KEY_PRESS;
                xcb_change_window_attributes(X, signIn, XCB_CW_EVENT_MASK, &keys);
                xcb_flush(X);
            }
        }
        std::free(event);
    }
    const double focusDeadline = NowMs() + 20000;
    while (FocusedWindow() != signIn) {
        if (NowMs() > focusDeadline)
            Fail(child, "the sign-in window never got the keyboard focus");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const char* typing[] = { "xdotool", "type", "--delay", "5", "--", name, nullptr };
    if (Run("xdotool", typing) != 0)
        Fail(child, "xdotool type failed");

    // The last key signs in; from then on the notes map as top-level windows, the icon docks.
    for (size_t i = 0; i + 1 < keys.size(); ++i) {
        const char* press[] = { "xdotool", "key", keys[i].c_str(), nullptr };
        if (Run("xdotool", press) != 0)
            Fail(child, "xdotool key failed");
    }
    // The presses of the keys so far are in the queue after one round trip: gone with them.
    std::free(xcb_get_input_focus_reply(X, xcb_get_input_focus(X), nullptr));
    while (xcb_generic_event_t* event = xcb_poll_for_event(X))
        std::free(event);
    // The clock starts when the window receives the last key's press, seen here at once while
    // xdotool runs: the time to start xdotool is no part of the sign-in.
    const char* last[] = { "xdotool", "key", keys.back().c_str(), nullptr };
    const pid_t lastKey = Start("xdotool", last);
    if (lastKey < 0)
        Fail(child, "xdotool key failed");
    double signedIn = 0;
    xcb_window_t icon = 0;
    double trayAt = 0;
    int mapped = 0;
    while (trayAt == 0 || mapped < notes) {
        xcb_generic_event_t* event = NextEvent(start + 180000);
        if (event == nullptr)
            Fail(child, "no tray icon or too few windows");
        const int type = event->response_type & 0x7f;
        if (type == XCB_KEY_PRESS && signedIn == 0) {
            signedIn = NowMs();
        } else if (type == XCB_REPARENT_NOTIFY && icon == 0) {
            const auto* reparent = reinterpret_cast<xcb_reparent_notify_event_t*>(event);
            if (reparent->parent != Root) {
                icon = reparent->window;
                const uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
                xcb_change_window_attributes(X, icon, XCB_CW_EVENT_MASK, &structure);
                xcb_flush(X);
                if (IsMapped(icon))
                    trayAt = NowMs();
            }
        } else if (type == XCB_MAP_NOTIFY) {
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (icon != 0 && map->window == icon && trayAt == 0)
                trayAt = NowMs();
            else if (map->event == Root && map->window != signIn)
                ++mapped;
        }
        std::free(event);
    }
    if (Finished(lastKey) != 0 || signedIn == 0)
        Fail(child, "the last key never reached the sign-in window");
    const double trayMs = trayAt - signedIn;

    // Settled: past the least time, and no growth of RSS over the last 10 s, sampled every
    // second (at most 3 minutes). Then once more no CPU time used for a whole second.
    const std::string rollup = "/proc/" + std::to_string(child) + "/smaps_rollup";
    std::vector<long> samples;
    while (NowMs() - trayAt < 180000) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        samples.push_back(ProcKb(rollup, "Rss"));
        if (NowMs() - trayAt >= settleMs && samples.size() > 10
            && *std::max_element(samples.end() - 10, samples.end()) <= samples[samples.size() - 11])
            break;
    }
    double ticks = CpuTicks(child);
    for (int quiet = 0, waited = 0; quiet < 4 && waited < 120; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        const double now = CpuTicks(child);
        quiet = now == ticks ? quiet + 1 : 0;
        ticks = now;
    }
    const double settledS = (NowMs() - trayAt) / 1000;
    const long rss = ProcKb(rollup, "Rss");
    const long pss = ProcKb(rollup, "Pss");
    const long storeLibraries = StoreLibrariesKb("/proc/" + std::to_string(child) + "/smaps");
    const long xserverAfter = ProcKb(xserverStatus, "VmRSS");

    // A picture of the desktop as measured, when asked for one.
    if (const char* shot = std::getenv("VIMO_BENCH_SCREENSHOT")) {
        const char* import[] = { "import", "-window", "root", shot, nullptr };
        Run("import", import);
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    Row("desktop", windowMs, trayMs, rss, pss, xserverAfter - xserverBefore, mapped, settledS,
        samples.empty() ? 0L : samples.front(), storeLibraries);
    xcb_disconnect(X);
    return 0;
}
