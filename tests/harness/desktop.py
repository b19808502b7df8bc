"""Workstations for end-to-end runs: a virtual X desktop with a tray host, a user's own ODBC and
settings files, and the program driven only through synthetic input (xdotool) and read back
from the screen (window titles and geometry, screenshots)."""

import os
import re
import shutil
import signal
import subprocess
import time
from dataclasses import dataclass

MAIN_WINDOW_TITLE = re.compile(r"^\d+ Vimos? Active$")


class StepFailure(Exception):
    """What a step expected and did not see."""


def wait_for(condition, timeout, what, interval=0.1):
    """Polls condition until it returns something true and returns that; fails after timeout,
    saying what it waited for (a text, or a function that tells it at that moment)."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise StepFailure(f"waited {timeout:g} s for {what() if callable(what) else what}")
        time.sleep(interval)


@dataclass(frozen=True)
class Window:
    id: int
    title: str
    x: int
    y: int
    width: int
    height: int
    viewable: bool

    @property
    def centre(self):
        return (self.x + self.width // 2, self.y + self.height // 2)

    @property
    def geometry(self):
        return (self.x, self.y, self.width, self.height)

    def contains(self, x, y):
        return self.x <= x < self.x + self.width and self.y <= y < self.y + self.height


class Screenshot:
    """A picture of a whole display, saved as PNG, with its pixels readable as (r, g, b)."""

    def __init__(self, path):
        self.path = path
        self._pixels = None
        self.width = self.height = 0

    def pixel(self, x, y):
        if self._pixels is None:
            size = subprocess.run(["identify", "-format", "%w %h", self.path], check=True,
                                  capture_output=True, text=True).stdout.split()
            self.width, self.height = int(size[0]), int(size[1])
            self._pixels = subprocess.run(["convert", self.path, "-depth", "8", "rgb:-"],
                                          check=True, capture_output=True).stdout
        at = (y * self.width + x) * 3
        return tuple(self._pixels[at:at + 3])

    def find_colour(self, area, colour):
        """The bounding box (x, y, width, height) of the pixels of exactly this colour inside
        area (a Window), or None."""
        xs, ys = [], []
        for y in range(max(area.y, 0), area.y + area.height):
            for x in range(max(area.x, 0), area.x + area.width):
                if self.pixel(x, y) == colour:
                    xs.append(x)
                    ys.append(y)
        if not xs:
            return None
        return (min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)


class Desktop:
    """One X display with a tray host (or without one), started and stopped by the suite's
    desktop fixture."""

    def __init__(self, number, state_dir, fixture, tray=True):
        self.number = number
        self.display = f":{number}"
        self.state_dir = state_dir
        self.fixture = fixture
        self.tray = tray

    def start(self):
        result = subprocess.run([self.fixture, "start", str(self.number), self.state_dir]
                                + ([] if self.tray else ["no-tray"]),
                                capture_output=True, text=True)
        if result.returncode != 0:
            raise StepFailure(f"no desktop on {self.display}: {result.stderr.strip()}")

    def add_tray(self):
        """A tray host comes to the running desktop."""
        result = subprocess.run([self.fixture, "tray", str(self.number), self.state_dir],
                                capture_output=True, text=True)
        if result.returncode != 0:
            raise StepFailure(f"no tray host on {self.display}: {result.stderr.strip()}")
        self.tray = True

    def stop(self):
        subprocess.run([self.fixture, "stop", self.state_dir], capture_output=True)

    def run(self, *command, check=True):
        result = subprocess.run(command, env=dict(os.environ, DISPLAY=self.display),
                                capture_output=True, text=True, errors="replace")
        if check and result.returncode != 0:
            raise StepFailure(f"{' '.join(command)} failed: {result.stderr.strip()}")
        return result.stdout

    def window(self, window_id):
        """The window now, or None when it no longer exists."""
        info = self.run("xwininfo", "-id", str(window_id), check=False)
        fields = dict(re.findall(r"^\s*([A-Z][\w -]+):\s+(.*)$", info, re.MULTILINE))
        name = self.run("xdotool", "getwindowname", str(window_id), check=False).rstrip("\n")
        try:
            return Window(window_id, name, int(fields["Absolute upper-left X"]),
                          int(fields["Absolute upper-left Y"]), int(fields["Width"]),
                          int(fields["Height"]), fields["Map State"] == "IsViewable")
        except (KeyError, ValueError):
            return None  # went while it was being read

    def windows(self, window_class="vimo"):
        """Every window of the class, shown or not."""
        ids = self.run("xdotool", "search", "--class", f"^{window_class}$", check=False).split()
        found = (self.window(int(i)) for i in ids)
        return [w for w in found if w is not None]

    def is_popup(self, window_id):
        """A menu's window, as X tells it: one that the window manager leaves alone
        (override-redirect) and that is no tooltip, balloon or note. Qt marks its menus no
        more than that."""
        info = self.run("xwininfo", "-id", str(window_id), check=False)
        if "Override Redirect State: yes" not in info:
            return False
        types = self.run("xprop", "-id", str(window_id), "_NET_WM_WINDOW_TYPE", check=False)
        kinds = set(re.findall(r"_NET_WM_WINDOW_TYPE_(\w+)", types))
        return not kinds & {"TOOLTIP", "NOTIFICATION", "UTILITY", "DIALOG", "SPLASH"}

    def tray_panel(self):
        ids = self.run("xdotool", "search", "--onlyvisible", "--name", "^panel$",
                       check=False).split()
        return self.window(int(ids[0])) if ids else None

    def focused_window(self):
        out = self.run("xdotool", "getwindowfocus", check=False).strip()
        return int(out) if out.isdigit() else None

    def key(self, *keys):
        self.run("xdotool", "key", "--delay", "60", *keys)

    def type(self, text):
        self.run("xdotool", "type", "--delay", "40", "--", text)

    def move(self, x, y):
        self.run("xdotool", "mousemove", str(x), str(y))

    def click(self, x, y, button=1, repeat=1):
        self.run("xdotool", "mousemove", str(x), str(y), "click", "--repeat", str(repeat),
                 "--delay", "80", str(button))

    def drag(self, start, end, steps=12):
        """Presses the left button at start, moves in steps to end and lets go there."""
        self.run("xdotool", "mousemove", str(start[0]), str(start[1]), "mousedown", "1")
        for i in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * i // steps
            y = start[1] + (end[1] - start[1]) * i // steps
            self.run("xdotool", "mousemove", str(x), str(y))
        self.run("xdotool", "mouseup", "1")

    def screenshot(self, path):
        self.run("import", "-window", "root", path)
        return Screenshot(path)


class Workstation:
    """One colleague's machine: a desktop, a home of their own with isolated ODBC files and
    settings, and at most one running copy of the program."""

    def __init__(self, name, desktop, root, program, odbcinst_entry, psqlodbc_driver):
        self.name = name
        self.desktop = desktop
        self.root = root
        self.program = program
        self.process = None
        self.log_path = os.path.join(root, "program.log")
        # Screenshots taken only to read pixels from.
        self.scratch = os.path.join(root, "scratch")
        for folder in ("home", "config", "runtime", "scratch"):
            os.makedirs(os.path.join(root, folder), exist_ok=True)
        os.chmod(os.path.join(root, "runtime"), 0o700)
        with open(odbcinst_entry) as ours, open(os.path.join(root, "odbcinst.ini"), "w") as out:
            out.write(ours.read())
            out.write("\n[PostgreSQL ANSI]\nDescription=PostgreSQL ODBC driver (ANSI version)\n"
                      f"Driver={psqlodbc_driver}\n")
        self.odbc_ini = os.path.join(root, "odbc.ini")
        self.environment = {
            key: value for key, value in os.environ.items()
            if not key.startswith(("QT_", "ODBC", "XDG_", "DBUS_"))
        }
        self.environment.update(
            DISPLAY=desktop.display,
            QT_QPA_PLATFORM="xcb",
            HOME=os.path.join(root, "home"),
            XDG_CONFIG_HOME=os.path.join(root, "config"),
            XDG_RUNTIME_DIR=os.path.join(root, "runtime"),
            ODBCSYSINI=root,
            ODBCINI=self.odbc_ini,
        )

    # The program

    def start(self, *arguments):
        log = open(self.log_path, "a")
        log.write(f"--- started with {list(arguments)}\n")
        log.flush()
        self.process = subprocess.Popen([self.program, *arguments], env=self.environment,
                                        cwd=self.environment["HOME"], stdout=log,
                                        stderr=subprocess.STDOUT)
        log.close()

    def is_running(self):
        return self.process is not None and self.process.poll() is None

    def wait_until_ended(self, timeout):
        wait_for(lambda: not self.is_running(), timeout, f"{self.name}'s program to end")

    def kill(self):
        if self.is_running():
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def log_tail(self, lines=15):
        try:
            with open(self.log_path, errors="replace") as log:
                return "".join(log.readlines()[-lines:])
        except OSError:
            return ""

    # What is on the screen

    def windows(self):
        return self.desktop.windows()

    def shown(self):
        return [w for w in self.windows() if w.viewable]

    def shown_titled(self, title):
        return [w for w in self.shown() if w.title == title]

    def tray_icon(self):
        """The program's icon in the tray host's panel, or None."""
        panel = self.desktop.tray_panel()
        if panel is None:
            return None
        icons = [w for w in self.shown() if panel.contains(*w.centre) and w.width < 64]
        return icons[0] if len(icons) == 1 else None

    def tray_tooltip(self):
        """The tooltip text, which the hidden main window carries as its title."""
        titles = [w.title for w in self.windows() if MAIN_WINDOW_TITLE.match(w.title)]
        return titles[0] if len(titles) == 1 else None

    def new_window(self, before, what, timeout=30, where=None):
        """Waits for a shown window that was not among before (ids) and returns it."""
        def appeared():
            fresh = [w for w in self.shown() if w.id not in before and (where is None or where(w))]
            return fresh[-1] if fresh else None
        return wait_for(appeared, timeout, what)

    def wait_focused(self, window, timeout=30):
        wait_for(lambda: self.desktop.focused_window() == window.id, timeout,
                 f"the keyboard focus in {window.title or 'the window'} ({window.geometry})")

    def wait_gone(self, window, timeout=30, what=None):
        def gone():
            now = self.desktop.window(window.id)
            return now is None or not now.viewable
        wait_for(gone, timeout, what or f"the window {window.title!r} to go")

    # Menus

    # A menu of four items is taller than this; a tooltip is not.
    MENU_MIN_HEIGHT = 60
    # Where the pointer rests between commands: nothing of the program's is there, so no
    # tooltip comes up that could pass for a menu.
    RESTING_PLACE = (900, 20)

    def is_menu(self, window):
        """Told by its kind, not by where it stands: a note that arrives, a balloon or a
        dialog may come up just where a menu would."""
        return window.height > self.MENU_MIN_HEIGHT and self.desktop.is_popup(window.id)

    def open_tray_menu(self, timeout=30):
        icon = wait_for(self.tray_icon, timeout, f"{self.name}'s tray icon")
        before = {w.id for w in self.shown()}
        self.desktop.click(*icon.centre)
        return self.new_window(before, f"{self.name}'s tray menu above the icon", timeout,
                               where=lambda w: w.y + w.height <= icon.y + 1 and self.is_menu(w))

    def tray_command(self, mnemonic):
        """Picks an item of the tray menu by its mnemonic key; returns the time just before
        the key went."""
        menu = self.open_tray_menu()
        pressed = time.monotonic()
        self.desktop.key(mnemonic)
        self.wait_gone(menu, what="the tray menu to close")
        self.desktop.move(*self.RESTING_PLACE)
        return pressed

    def note_command(self, note, mnemonic):
        """Right-clicks the note and picks an item of its menu by its mnemonic key; returns
        the time just before the key went."""
        before = {w.id for w in self.shown()}
        self.desktop.click(*note.centre, button=3)
        menu = self.new_window(before, f"the menu of the note {note.title!r}",
                               where=self.is_menu)
        pressed = time.monotonic()
        self.desktop.key(mnemonic)
        self.wait_gone(menu, what="the note's menu to close")
        return pressed

    def screenshot(self, path):
        return self.desktop.screenshot(path)


def remove_tree(path):
    shutil.rmtree(path, ignore_errors=True)
