#!/usr/bin/env python3
"""BOB at the desktops Linux users have. On a desktop without a notification area he is told
so once, and a second start and the desktop entry's actions reach his running copy; a
colleague signed in to the same display as another user gets a copy of her own. With a tray,
a second start opens his running copy's "New Vimo" dialog instead of a second sign-in. In a
Wayland session (weston, headless) with XWayland, his notes open at (50, 50) and (60, 60).
Driven by synthetic input, read back from the screen; screenshots go to the artifacts folder."""

import argparse
import configparser
import os
import pwd
import shlex
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
from contextlib import contextmanager

from harness.desktop import Desktop, Screenshot, StepFailure, Workstation, remove_tree, wait_for
from two_colleagues import Run, ScenarioFailed, check

UI_TIMEOUT = 30
QUIT_TIMEOUT = 15
NOTES = (("Call the printer man", 1), ("Fire drill at 3", 3))
YELLOW, RED = (255, 255, 0), (255, 0, 0)
LOGIN_TITLE = "Login & Identification"
ALERT_TITLE = "VIMO!!"
COMPOSE_TITLE = "New Vimo"


class WestonDesktop(Desktop):
    """A headless Wayland compositor with XWayland. X clients reach it through the X display
    that weston announces; keys go to a window directly, as a headless seat has no keyboard."""

    def __init__(self, state_dir):
        super().__init__(None, state_dir, None)
        self.runtime = os.path.join(state_dir, "runtime")
        self.socket = f"vimo-test-wl-{os.getpid()}"
        self.process = None

    @property
    def wayland_display(self):
        return os.path.join(self.runtime, self.socket)

    def start(self):
        os.makedirs(self.runtime, exist_ok=True)
        os.chmod(self.runtime, 0o700)
        log_path = os.path.join(self.state_dir, "weston.log")
        with open(log_path, "w") as log:
            # Pixman draws into memory, so that screenshots show what the compositor shows.
            self.process = subprocess.Popen(
                ["weston", "--backend=headless-backend.so", "--xwayland", "--use-pixman",
                 "--debug", f"--socket={self.socket}", "--width=1024", "--height=768",
                 "--idle-time=0"],
                env=dict(os.environ, XDG_RUNTIME_DIR=self.runtime), stdout=log,
                stderr=subprocess.STDOUT, start_new_session=True)

        def announced():
            with open(log_path, errors="replace") as log:
                for line in log:
                    if "xserver listening on display :" in line:
                        return line.rsplit(":", 1)[1].strip()
            if self.process.poll() is not None:
                raise StepFailure(f"weston ended: {open(log_path).read()[-2000:]}")
            return None
        self.number = int(wait_for(announced, 30, "weston's XWayland display"))
        self.display = f":{self.number}"

    def stop(self):
        if self.process is not None and self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait()

    def tray_panel(self):
        return None

    def screenshot(self, path):
        shots = os.path.join(self.state_dir, "shots")
        os.makedirs(shots, exist_ok=True)
        for old in os.listdir(shots):
            os.remove(os.path.join(shots, old))
        subprocess.run(["weston-screenshooter"], cwd=shots, timeout=30, check=True,
                       env=dict(os.environ, XDG_RUNTIME_DIR=self.runtime,
                                WAYLAND_DISPLAY=self.socket))
        taken = [f for f in os.listdir(shots) if f.endswith(".png")]
        if not taken:
            raise StepFailure("weston-screenshooter saved nothing")
        os.replace(os.path.join(shots, taken[0]), path)
        return Screenshot(path)


def make_store(station, folder):
    """A data file with ANN and BOB and two notes waiting for BOB, named by the station's
    data source "VIMO"."""
    os.makedirs(folder, exist_ok=True)
    os.chmod(folder, 0o777)  # the colleague of the other-user step reads it too
    path = os.path.join(folder, "office.vmo")
    if not os.path.exists(path):
        with sqlite3.connect(path) as db:
            db.execute("CREATE TABLE MSGS(MSG CHAR(250) NULL,RECIPIENT CHAR(15) NULL,"
                       "SENDER CHAR(15) NULL,DT INT,URGENCY INT,TKEY INT)")
            db.execute("CREATE TABLE USRS(RECIPIENT CHAR(15))")
            db.executemany("INSERT INTO USRS VALUES(?)", [("ANN",), ("BOB",)])
            db.executemany("INSERT INTO MSGS VALUES(?,'BOB','ANN',20261207,?,?)",
                           [(text, urgency, key) for key, (text, urgency)
                            in enumerate(NOTES, start=1)])
        os.chmod(path, 0o666)
    with open(station.odbc_ini, "w") as odbc_ini:
        odbc_ini.write(f"[VIMO]\nDriver=Vimo SQLite\nDescription=Vimo File\nDatabase={path}\n"
                       "NoCreat=1\nTimeout=5000\n")


def desktop_actions(entry):
    """The desktop entry's actions by name, each as the command line its Exec gives."""
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    parser.read(entry)
    actions = {}
    for name in parser["Desktop Entry"]["Actions"].strip(";").split(";"):
        section = parser[f"Desktop Action {name}"]
        actions[section["Name"]] = shlex.split(section["Exec"])
    plain = [a for a in shlex.split(parser["Desktop Entry"]["Exec"]) if not a.startswith("%")]
    return actions, plain


def launch(station, command, run, what):
    """Starts the command as the desktop would, for this station's user; it must end at once,
    with status 0, having handed its work to the running copy."""
    started = time.monotonic()
    result = subprocess.run([station.program] + command[1:], env=station.environment,
                            capture_output=True, text=True, timeout=UI_TIMEOUT)
    took = time.monotonic() - started
    check(result.returncode == 0,
          f"{' '.join(command)} ended with {result.returncode}: {result.stderr.strip()}")
    run.figure(f"{what}: the second start ended after {took:.2f} s")


def window_pid(station, window):
    out = station.desktop.run("xdotool", "getwindowpid", str(window.id), check=False).strip()
    return int(out) if out.isdigit() else None


def keys(station, window, *names, text=None):
    """Types text and presses keys in the window: through the keyboard focus on an X desktop,
    straight into the window under weston."""
    desk = station.desktop
    if isinstance(desk, WestonDesktop):
        # xdotool complains that nothing has the focus; the keys arrive all the same, and
        # what they do is waited for.
        if text:
            desk.run("xdotool", "type", "--window", str(window.id), "--delay", "40", "--", text,
                     check=False)
        if names:
            desk.run("xdotool", "key", "--window", str(window.id), "--delay", "80", *names,
                     check=False)
        return
    station.wait_focused(window)
    if text:
        desk.type(text)
    if names:
        desk.key(*names)


def sign_in(station, name, title=LOGIN_TITLE):
    login = station.new_window(set(), "the sign-in dialog", UI_TIMEOUT,
                               where=lambda w: w.title == title)
    # In small letters: the name box writes capitals. Then Tab to "Login" and press it.
    keys(station, login, "Tab", "Tab", "space", text=name.lower())
    station.wait_gone(login, UI_TIMEOUT, "the sign-in dialog to close")


def answer_alert(station, run, label):
    alert = station.new_window(set(), f'the message "{ALERT_TITLE}"', UI_TIMEOUT,
                               where=lambda w: w.title == ALERT_TITLE)
    run.shot(f"{label}-message", station)
    keys(station, alert, "Return")
    station.wait_gone(alert, UI_TIMEOUT, "the message to close")


def notes_in_place(station, scale=1):
    def placed():
        shown = {w.title: w for w in station.shown() if w.title in dict(NOTES)}
        return shown if len(shown) == len(NOTES) else None
    shown = wait_for(placed, UI_TIMEOUT, "both waiting notes on the screen")
    places = sorted(w.geometry for w in shown.values())
    expected = [tuple(v * scale for v in p) for p in ((50, 50, 100, 100), (60, 60, 100, 100))]
    check(places == expected,
          f"the notes should open at (50, 50) and (60, 60), 100 x 100: {places}")
    return shown


def compose_of(station, copy_pid, run, label):
    """Waits for the running copy's compose dialog; no second sign-in may come instead."""
    compose = station.new_window(set(), f'the "{COMPOSE_TITLE}" dialog', UI_TIMEOUT,
                                 where=lambda w: w.title in (COMPOSE_TITLE, LOGIN_TITLE))
    check(compose.title == COMPOSE_TITLE, "a second sign-in came instead of the compose dialog")
    check(window_pid(station, compose) == copy_pid,
          f"the compose dialog belongs to process {window_pid(station, compose)}, "
          f"not to the running copy {copy_pid}")
    run.shot(f"{label}-compose", station)
    keys(station, compose, "Escape")
    station.wait_gone(compose, UI_TIMEOUT, "the compose dialog to close")


def socket_files(station):
    runtime = station.environment["XDG_RUNTIME_DIR"]
    return [f for f in os.listdir(runtime) if f.endswith(".socket")]


def no_tray_scenario(run, args, work):
    desktop = Desktop(args.display, os.path.join(work, "desktop"), args.desktop_fixture,
                      tray=False)
    bob = Workstation("bob", desktop, os.path.join(work, "bob"), args.program,
                      args.odbcinst_entry, args.psqlodbc)
    run.stations = [bob]
    # The colleague of the other-user step may not reach this clone (inside a folder of mode
    # 0700, such as /root): the shared store, her files and her program live in a private
    # temporary folder made for her.
    other = tempfile.mkdtemp(prefix="vimo-e2e-", dir="/tmp")
    shared = os.path.join(other, "shared")
    make_store(bob, shared)
    actions, plain = desktop_actions(args.desktop_entry)
    desktop.start()
    try:
        with run.step("BOB signs in on a desktop without a notification area", bob) as label:
            bob.start()
            sign_in(bob, "BOB")
        with run.step("one message says so; the waiting notes open", bob) as label:
            answer_alert(bob, run, label)
            notes = notes_in_place(bob)

        with run.step("the desktop action New Vimo opens the running copy's dialog", bob) as label:
            launch(bob, actions["New Vimo"], run, "New Vimo")
            compose_of(bob, bob.process.pid, run, label)
        with run.step("Hide All Vimos and Show All Vimos through the actions", bob):
            launch(bob, actions["Hide All Vimos"], run, "Hide All Vimos")
            for window in notes.values():
                bob.wait_gone(window, UI_TIMEOUT, f"the note {window.title!r} to hide")
            launch(bob, actions["Show All Vimos"], run, "Show All Vimos")
            notes_in_place(bob)
        with run.step("the desktop action Sent Vimos opens the running copy's list",
                      bob) as label:
            launch(bob, actions["Sent Vimos"], run, "Sent Vimos")
            listing = bob.new_window(set(), 'the "Sent Vimos" window', UI_TIMEOUT,
                                     where=lambda w: w.title == "Sent Vimos")
            check(window_pid(bob, listing) == bob.process.pid,
                  "the list should belong to the running copy")
            bob.wait_focused(listing)
            run.shot(f"{label}-list", bob)
            keys(bob, listing, "Escape")
            bob.wait_gone(listing, UI_TIMEOUT, 'the "Sent Vimos" window to close')
        with run.step("a plain second start opens the dialog too", bob) as label:
            launch(bob, plain, run, "plain start")
            compose_of(bob, bob.process.pid, run, label)

        if os.geteuid() == 0:
            with run.step("ANN, another user on the same display, gets a copy of her own",
                          bob) as label:
                program = shutil.copy2(args.program, os.path.join(other, "vimo"))
                ann = Workstation("ann", desktop, os.path.join(other, "ann"), program,
                                  args.odbcinst_entry, args.psqlodbc)
                make_store(ann, shared)
                nobody = pwd.getpwnam("nobody")
                os.chown(other, nobody.pw_uid, nobody.pw_gid)
                for folder, _, files in os.walk(ann.root):
                    for name in [folder] + [os.path.join(folder, f) for f in files]:
                        os.chown(name, nobody.pw_uid, nobody.pw_gid)
                with open(ann.log_path, "a") as log:
                    ann.process = subprocess.Popen(
                        [program], env=ann.environment, cwd=ann.environment["HOME"],
                        stdout=log, stderr=subprocess.STDOUT, user=nobody.pw_uid,
                        group=nobody.pw_gid, extra_groups=[])
                try:
                    login = ann.new_window(set(), "ANN's sign-in dialog", UI_TIMEOUT,
                                           where=lambda w: w.title == LOGIN_TITLE)
                    check(window_pid(ann, login) == ann.process.pid,
                          "the sign-in dialog is not ANN's own copy's")
                    run.shot(f"{label}-ann", ann)
                    check(not bob.shown_titled(COMPOSE_TITLE),
                          "ANN's start reached BOB's copy")
                finally:
                    ann.kill()
                    shutil.copy(ann.log_path, os.path.join(work, "ann-program.log"))
        else:
            print("e2e: not root: the step with a second user is left out", flush=True)

        with run.step("the desktop action Quit ends the copy, and no second message came", bob):
            check(not bob.shown_titled(ALERT_TITLE), "a second message came")
            launch(bob, actions["Quit"], run, "Quit")
            bob.wait_until_ended(QUIT_TIMEOUT)
            check(not socket_files(bob), f"the copy left its socket: {socket_files(bob)}")
            launch(bob, actions["Quit"], run, "Quit with no copy running")

        # The same desktop, now with a tray host.
        desktop.add_tray()
        with run.step("with a tray: BOB signs in, and no message comes", bob):
            bob.start()
            sign_in(bob, "BOB")
            wait_for(bob.tray_icon, UI_TIMEOUT, "BOB's icon in the tray")
            notes_in_place(bob)
        with run.step("with a tray: a second start opens the running copy's dialog", bob) as label:
            launch(bob, plain, run, "plain start with a tray")
            compose_of(bob, bob.process.pid, run, label)
            check(not bob.shown_titled(ALERT_TITLE), "a message came although there is a tray")
        with run.step("with a tray: vimo --quit ends the copy", bob):
            bob.kill()
    finally:
        bob.kill()
        desktop.stop()
        shutil.rmtree(other, ignore_errors=True)


def wayland_scenario(run, args, work):
    desktop = WestonDesktop(os.path.join(work, "weston"))
    os.makedirs(desktop.state_dir, exist_ok=True)
    desktop.start()
    try:
        bob = Workstation("bob", desktop, os.path.join(work, "bob"), args.program,
                          args.odbcinst_entry, args.psqlodbc)
        run.stations = [bob]
        # A Wayland session as the desktop announces it; the platform is left to the program.
        bob.environment.pop("QT_QPA_PLATFORM", None)
        bob.environment.update(WAYLAND_DISPLAY=desktop.wayland_display,
                               XDG_SESSION_TYPE="wayland")
        make_store(bob, os.path.join(work, "shared"))

        with run.step("BOB signs in on a Wayland session", bob):
            bob.start()
            sign_in(bob, "BOB")
        with run.step("the notes open at (50, 50) and (60, 60)", bob) as label:
            # The compositor has no tray for X clients: that message comes first.
            answer_alert(bob, run, label)
            notes_in_place(bob)
            # What the compositor shows, not only what XWayland says; it repaints a moment
            # after the message has gone.
            shot = os.path.join(run.artifacts, f"{label}-compositor.png")
            seen = []

            def composed():
                screen = desktop.screenshot(shot)
                seen[:] = [screen.pixel(55, 140), screen.pixel(140, 140)]
                return seen == [YELLOW, RED]
            wait_for(composed, UI_TIMEOUT,
                     lambda: f"the compositor to show the yellow note at (55, 140) and the red "
                             f"one at (140, 140); it shows {seen}")
        with run.step("vimo --quit ends the copy", bob):
            bob.kill()
    finally:
        for station in run.stations:
            station.kill()
        desktop.stop()


@contextmanager
def bob_at_desktop(run, args, work, **environment):
    desktop = Desktop(args.display, os.path.join(work, "desktop"), args.desktop_fixture)
    bob = Workstation("bob", desktop, os.path.join(work, "bob"), args.program,
                      args.odbcinst_entry, args.psqlodbc)
    run.stations = [bob]
    make_store(bob, os.path.join(work, "shared"))
    bob.environment.update(environment)
    desktop.start()
    try:
        yield bob
    finally:
        bob.kill()
        desktop.stop()


def signed_in(bob, title=LOGIN_TITLE, scale=1):
    bob.start()
    sign_in(bob, "BOB", title)
    return [notes_in_place(bob, scale)[text] for text, _ in NOTES]


# A screen reader on a bus of its own says where the bus is, then what note argv[1] is to it.
ATSPI_CLIENT = """
import os, pyatspi, sys
from gi.repository import GLib
def heard(event):
    if event.detail1 and event.source.name == sys.argv[1] and event.source.childCount:
        print(event.source.getRoleName(), event.source.description, sep="|", flush=True)
        pyatspi.Registry.stop()
pyatspi.Registry.registerEventListener(heard, "object:state-changed:showing")
GLib.timeout_add_seconds(60, pyatspi.Registry.stop)
print(os.environ["DBUS_SESSION_BUS_ADDRESS"], flush=True)
pyatspi.Registry.start()
"""


def atspi_scenario(run, args, work):
    # A bus with a row's services alone, whatever the machine has; in the second, a daemon that
    # dies as it starts (as one that finds no display does), and a note that comes after.
    for row, notifications, note in (("", None, NOTES[1][0]),
                                     (", later, notifications failing", "/bin/false", "Go")):
        folder = os.path.join(work, f"row{bool(notifications):d}")
        os.makedirs(folder)
        shutil.copy("/usr/share/dbus-1/services/org.a11y.Bus.service", folder)
        if notifications:
            with open(os.path.join(folder, "notifications.service"), "w") as service:
                service.write("[D-BUS Service]\nName=org.freedesktop.Notifications\n"
                              f"Exec={notifications}\n")
        with open(os.path.join(folder, "bus.conf"), "w") as config:
            config.write(f"<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                         f"<servicedir>{folder}</servicedir><policy context='default'><allow "
                         "send_destination='*'/><allow eavesdrop='true'/><allow own='*'/>"
                         "</policy></busconfig>")
        listener = subprocess.Popen(["dbus-run-session", f"--config-file={config.name}", "--",
                                     "/usr/bin/python3", "-c", ATSPI_CLIENT, note],
                                    stdout=subprocess.PIPE, text=True)
        said = iter(listener.stdout.readline, "")  # with what the bus's services print
        address = next(line for line in said if line.startswith("unix:")).strip()
        # Qt talks to the AT-SPI registry that the client starts, unasked: as to a screen reader.
        with bob_at_desktop(run, args, folder, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                            DBUS_SESSION_BUS_ADDRESS=address) as bob, \
                run.step(f"a screen reader hears the red note announce itself, urgent{row}", bob):
            signed_in(bob)
            if notifications:
                with sqlite3.connect(os.path.join(folder, "shared", "office.vmo")) as db:
                    db.execute("INSERT INTO MSGS VALUES(?,'BOB','ANN',20261207,3,3)", (note,))
            heard = next((line.strip() for line in said if "|" in line), None)
            check(heard == "alert|Urgent. From ANN, Mon 7 Dec 2026", f"it heard {heard!r}")


def keyboard_scenario(run, args, work):
    with bob_at_desktop(run, args, work) as bob:
        yellow, red = signed_in(bob)

        def press(keys, focused=None, menu=False):
            before = {w.id for w in bob.shown()}
            bob.desktop.key(*keys.split())
            if menu:
                bob.new_window(before, "the note's menu", where=lambda w: w.height > 60)
            if focused:
                wait_for(lambda: bob.desktop.focused_window() == focused.id, UI_TIMEOUT, keys)

        with run.step("Show All gives the newest note the keys; Tab, arrows go on", bob):
            launch(bob, ["vimo", "--show-all"], run, "Show All Vimos")
            press("Tab", yellow)
            press("Right Escape", red)  # Escape hides no note unseen
        with run.step("the menu key and D delete; Shift+F10 opens the menu, Delete too", bob):
            press("Menu", menu=True)
            press("d", yellow)
            press("shift+F10", menu=True)
            press("Escape Delete")
            bob.wait_gone(yellow)


def german_scenario(run, args, work):
    with bob_at_desktop(run, args, work, LANGUAGE="de", LC_ALL="de_DE.UTF-8") as bob:
        red = signed_in(bob, "Anmeldung & Identifikation")[1]
        with run.step("the compose dialog and the tray menu in German", bob):
            launch(bob, ["vimo", "--new"], run, "Neues Vimo")
            bob.new_window(set(), "Neues Vimo", where=lambda w: w.title == "Neues Vimo")
            bob.open_tray_menu()
        with run.step("a note's tip in German", bob):
            bob.desktop.key("Escape")
            before = {w.id for w in bob.shown()}
            bob.desktop.move(*red.centre)
            bob.new_window(before, "the note's tip")


def scaled_scenario(run, args, work):
    with bob_at_desktop(run, args, work, QT_SCALE_FACTOR="1.5") as bob:
        for scale in (1.5, 2):
            with run.step(f"at {scale * 100:.0f} %: the notes keep their places and sizes", bob):
                if scale == 2:  # a desktop at 192 dpi, as it tells its programs
                    bob.desktop.run("xprop", "-root", "-f", "RESOURCE_MANAGER", "8s", "-set",
                                    "RESOURCE_MANAGER", "Xft.dpi:\t192\n")
                    del bob.environment["QT_SCALE_FACTOR"]
                signed_in(bob, scale=scale)
            bob.kill()


SCENARIOS = {"no-tray": no_tray_scenario, "wayland": wayland_scenario, "atspi": atspi_scenario,
             "keyboard": keyboard_scenario, "german": german_scenario, "scaled": scaled_scenario}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--scenario", choices=SCENARIOS, required=True)
    parser.add_argument("--program", required=True, help="the program's executable")
    parser.add_argument("--odbcinst-entry", required=True, help="the build's driver entry")
    parser.add_argument("--psqlodbc", required=True, help="the PostgreSQL ANSI ODBC driver")
    parser.add_argument("--desktop-entry", required=True, help="the program's desktop entry")
    parser.add_argument("--desktop-fixture", required=True)
    parser.add_argument("--display", type=int, help="a free X display number (not wayland)")
    parser.add_argument("--work", required=True)
    parser.add_argument("--artifacts", required=True)
    args = parser.parse_args()
    if args.scenario == "no-tray" and args.display is None:
        parser.error("--display is needed for no-tray")

    remove_tree(args.work)
    remove_tree(args.artifacts)
    os.makedirs(args.work)
    os.chmod(args.work, 0o755)
    os.makedirs(args.artifacts)
    print(f"e2e: screenshots in {args.artifacts}", flush=True)

    run = Run(args.artifacts, [])
    started = time.monotonic()
    try:
        SCENARIOS[args.scenario](run, args, args.work)
    except (ScenarioFailed, StepFailure) as failure:
        print(f"e2e: FAILED: {failure}", flush=True)
        for shot in getattr(failure, "shots", []):
            print(f"e2e:   screenshot: {shot}")
        for station in run.stations:
            print(f"e2e:   {station.name}'s program said:\n{station.log_tail()}")
        return 1
    print(f"e2e: {args.scenario} passed in {time.monotonic() - started:.0f} s: "
          + "; ".join(run.figures))
    return 0


if __name__ == "__main__":
    sys.exit(main())
