// Times the delivery of notes between two running copies on two X displays, seen from outside
// as the two users would see it: from the press of Send in the sender's "New Vimo" dialog
// (the key press as the X server hands it to the dialog) until the note's window maps on the
// recipient's display.
//   vimo_bench_delivery SENDER_DISPLAY RECIPIENT_DISPLAY RECIPIENT NOTES SEED LEAD_MS -- PROGRAM...
// PROGRAM is the sender's copy started again, which opens the running copy's "New Vimo"
// dialog. The first note waits a random time up to LEAD_MS, so that where only the poll
// brings them the notes start at any point of its period; then they go out at random gaps,
// without waiting for each other's delivery. Prints a "delivery" row per note:
// its number and the milliseconds (-1: it never came).

#include "Figures.h"

#include <xcb/xcb.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vimo::bench;

namespace {

constexpr double UiTimeoutMs = 30000;
constexpr double DeliveryLimitMs = 30000; // the poll comes every 20 s

std::string Title(xcb_connection_t* x, xcb_window_t window)
{
    auto* reply = xcb_get_property_reply(x,
        xcb_get_property(x, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr);
    std::string text;
    if (reply)
        text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
            size_t(xcb_get_property_value_length(reply)));
    std::free(reply);
    return text;
}

// Every top-level window that maps or unmaps on one display, with the moment it was seen.
class DisplayWatch {
public:
    struct Sighting {
        double Ms;
        bool Mapped;
        xcb_window_t Window;
        std::string Title;
        bool KeyPress = false;
    };

    explicit DisplayWatch(const std::string& display)
        : X(xcb_connect(display.c_str(), nullptr))
    {
        if (xcb_connection_has_error(X)) {
            std::fprintf(stderr, "delivery probe: cannot open display %s\n", display.c_str());
            std::exit(1);
        }
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(X)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(X, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(X);
        Thread = std::thread([this, root] { Watch(root); });
    }

    ~DisplayWatch()
    {
        Stop = true;
        Thread.join();
        xcb_disconnect(X);
    }

    // From now on the key presses that the window receives are seen as well.
    void WatchKeys(xcb_window_t window)
    {
        const uint32_t mask = XCB_EVENT_MASK_KEY_PRESS;
        xcb_change_window_attributes(X, window, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(X);
    }

    size_t Count()
    {
        const std::lock_guard lock(Lock);
        return Seen.size();
    }

    // The first sighting from index on that matches, waiting for it until the deadline.
    template <typename Match> const Sighting* WaitFor(size_t from, double deadline, Match match)
    {
        for (;;) {
            {
                const std::lock_guard lock(Lock);
                for (size_t i = from; i < Seen.size(); ++i) {
                    if (match(Seen[i]))
                        return &Seen[i];
                }
            }
            if (NowMs() > deadline)
                return nullptr;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

private:
    void Watch(xcb_window_t root)
    {
        pollfd descriptor { xcb_get_file_descriptor(X), POLLIN, 0 };
        while (!Stop && !xcb_connection_has_error(X)) {
            xcb_generic_event_t* event = xcb_poll_for_event(X);
            if (event == nullptr) {
                ::poll(&descriptor, 1, 50);
                continue;
            }
            const double at = NowMs();
            const int type = event->response_type & 0x7f;
            if (type == XCB_KEY_PRESS) {
                const auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
                const std::lock_guard lock(Lock);
                Seen.push_back({ at, false, key->event, "", true });
            } else if (type == XCB_MAP_NOTIFY || type == XCB_UNMAP_NOTIFY) {
                const bool mapped = type == XCB_MAP_NOTIFY;
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                const auto* unmap = reinterpret_cast<xcb_unmap_notify_event_t*>(event);
                const xcb_window_t window = mapped ? map->window : unmap->window;
                if ((mapped ? map->event : unmap->event) == root) {
                    Sighting sighting { at, mapped, window, mapped ? Title(X, window) : "" };
                    const std::lock_guard lock(Lock);
                    Seen.push_back(std::move(sighting));
                }
            }
            std::free(event);
        }
    }

    xcb_connection_t* const X;
    std::thread Thread;
    std::atomic<bool> Stop = false;
    std::mutex Lock;
    std::deque<Sighting> Seen; // keeps the addresses WaitFor hands out
};

int Run(const std::vector<std::string>& command)
{
    std::vector<char*> arguments;
    arguments.reserve(command.size() + 1);
    for (const std::string& argument : command)
        arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, arguments[0], nullptr, nullptr, arguments.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "delivery probe: %s\n", what.c_str());
    std::exit(1);
}

xcb_window_t FocusedWindow(xcb_connection_t* x)
{
    auto* reply = xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr);
    const xcb_window_t focus = reply ? reply->focus : 0;
    std::free(reply);
    return focus;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 9 || std::strcmp(argv[7], "--") != 0) {
        std::fprintf(stderr,
            "usage: %s SENDER_DISPLAY RECIPIENT_DISPLAY RECIPIENT NOTES SEED LEAD_MS -- "
            "PROGRAM...\n",
            argv[0]);
        return 2;
    }
    const std::string senderDisplay = argv[1];
    const std::string recipient = argv[3];
    const int notes = std::atoi(argv[4]);
    std::mt19937 random(unsigned(std::atoi(argv[5])));
    std::uniform_real_distribution<double> gap(200, 1200);
    std::uniform_real_distribution<double> lead(0, std::atof(argv[6]));
    const std::vector<std::string> newNote(argv + 8, argv + argc);

    DisplayWatch sender(senderDisplay);
    DisplayWatch receiver(argv[2]);
    xcb_connection_t* senderX = xcb_connect(senderDisplay.c_str(), nullptr);
    // The xdotool runs type on the sender's display.
    setenv("DISPLAY", senderDisplay.c_str(), 1);

    std::vector<double> sent(size_t(notes), 0);
    for (int note = 0; note < notes; ++note) {
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(
            gap(random) + (note == 0 ? lead(random) : 0)));
        const size_t before = sender.Count();
        if (Run(newNote) != 0)
            Fail("the sender's copy did not take the New command");
        const DisplayWatch::Sighting* dialog = sender.WaitFor(before, NowMs() + UiTimeoutMs,
            [](const auto& s) { return s.Mapped && s.Title == "New Vimo"; });
        if (dialog == nullptr)
            Fail("no \"New Vimo\" dialog on the sender's display");
        const xcb_window_t window = dialog->Window;
        sender.WatchKeys(window);
        const double focusDeadline = NowMs() + UiTimeoutMs;
        while (FocusedWindow(senderX) != window) {
            if (NowMs() > focusDeadline)
                Fail("the \"New Vimo\" dialog never got the keyboard focus");
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // The name box, Tab to the text, Tab to Send; the Space bar presses it.
        const std::string text = "delivery " + std::to_string(note + 1);
        if (Run({ "xdotool", "type", "--delay", "2", "--", recipient }) != 0
            || Run({ "xdotool", "key", "Tab" }) != 0
            || Run({ "xdotool", "type", "--delay", "2", "--", text }) != 0
            || Run({ "xdotool", "key", "Tab" }) != 0)
            Fail("xdotool failed");
        const size_t beforeSend = sender.Count();
        if (Run({ "xdotool", "key", "space" }) != 0)
            Fail("xdotool failed");
        const DisplayWatch::Sighting* pressed = sender.WaitFor(beforeSend, NowMs() + UiTimeoutMs,
            [window](const auto& s) { return s.KeyPress && s.Window == window; });
        if (pressed == nullptr)
            Fail("the press of Send never reached the \"New Vimo\" dialog");
        sent[size_t(note)] = pressed->Ms;
        // The next note is written once this one has left the dialog.
        if (sender.WaitFor(beforeSend, NowMs() + UiTimeoutMs,
                [window](const auto& s) { return !s.Mapped && s.Window == window; })
            == nullptr)
            Fail("the \"New Vimo\" dialog stayed after Send (an alert?)");
    }

    const double deadline = NowMs() + DeliveryLimitMs;
    for (int note = 0; note < notes; ++note) {
        const std::string text = "delivery " + std::to_string(note + 1);
        const DisplayWatch::Sighting* shown = receiver.WaitFor(
            0, deadline, [&text](const auto& s) { return s.Mapped && s.Title == text; });
        Row("delivery", note + 1, shown ? shown->Ms - sent[size_t(note)] : -1.0);
    }
    xcb_disconnect(senderX);
    return 0;
}
