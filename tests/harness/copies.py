"""A running copy of the program as the fault runs see it: a workstation (desktop.py) whose
program also writes what it told the user and how long its desktop stood still, read from
its log, and whose windows are read in two calls however many notes are open."""

import re
import subprocess
import time
from dataclasses import dataclass

from .desktop import StepFailure, Window, Workstation, wait_for

ACTIVE_TIP = re.compile(r"^\d+ Vimos? Active$")
OUTAGE_TIP = re.compile(r"^Vimo: the store cannot be reached since (\d\d):(\d\d)$")
ALERT_TITLE = "VIMO!!"
COMPOSE_TITLE = "New Vimo"
SIGN_IN_TITLE = "Login & Identification"
# The compose dialog's buttons: the centre of each in its form (267 x 284, and the row of
# "Send at" below), which the dialog scales to its font.
COMPOSE_HEIGHT = 284 + 24
SEND_BUTTON = ((107 + 37) / 267, (258 + 12) / COMPOSE_HEIGHT)
CANCEL_BUTTON = ((185 + 37) / 267, (258 + 11) / COMPOSE_HEIGHT)

# "%{time boot}" is the monotonic clock in seconds, the clock of time.monotonic().
MESSAGE_PATTERN = "%{time boot} %{category}: %{message}"
LOG_RECORD = re.compile(r"^\s*(\d+\.\d{3}) ([\w.-]+): ?(.*)$")
GAP = re.compile(r"^gap (\d+) ms ending at (\d+) ms$")
TREE_LINE = re.compile(r'^\s+(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)): \("([^"]*)" "([^"]*)"\)'
                       r"\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)")


@dataclass
class Alert:
    seen: float
    text: str
    answer: bool  # the answer to something the user just did, not news of its own


class Copy(Workstation):
    def __init__(self, *arguments, **keywords):
        super().__init__(*arguments, **keywords)
        self.environment.update(QT_LOGGING_RULES="vimo.stall.info=true;vimo.alert.info=true",
                                QT_MESSAGE_PATTERN=MESSAGE_PATTERN)
        self.user = None
        self.records = []  # [time, category, text]
        self._log_read = 0
        self._alert_records_used = 0
        self.alerts = []
        self.expecting_answer_until = 0.0
        self.tray_since = None  # when the icon came: the first poll had just run
        self.normal_icon = None

    # What the program logged

    def read_log(self):
        try:
            with open(self.log_path, "rb") as log:
                log.seek(self._log_read)
                data = log.read()
        except OSError:
            return
        end = data.rfind(b"\n") + 1
        self._log_read += end
        for line in data[:end].decode(errors="replace").splitlines():
            match = LOG_RECORD.match(line)
            if match:
                self.records.append([float(match[1]), match[2], match[3]])
            elif self.records and not line.startswith("--- started"):
                self.records[-1][2] += "\n" + line

    def stalls(self, start, end, excused=lambda ended, ms: False):
        """The longest gap of the GUI thread that ended between start and end, in ms (0 when
        none above 30 ms), leaving out those excused(ended, ms) says were not the program's."""
        self.read_log()
        longest = 0
        for _, category, text in self.records:
            match = GAP.match(text) if category == "vimo.stall" else None
            if match and start <= int(match[2]) / 1000 <= end \
                    and not excused(int(match[2]) / 1000, int(match[1])):
                longest = max(longest, int(match[1]))
        return longest

    # Windows: one tree and one list of the shown ones, however many there are

    def windows(self):
        tree = self.desktop.run("xwininfo", "-root", "-tree", check=False)
        shown = set(self.desktop.run("xdotool", "search", "--onlyvisible", "--class", "^vimo$",
                                     check=False).split())
        found = []
        for line in tree.splitlines():
            match = TREE_LINE.match(line)
            if not match or "vimo" not in (match[3].lower(), match[4].lower()):
                continue
            window_id = int(match[1], 16)
            found.append(Window(window_id, match[2] or "", int(match[7]), int(match[8]),
                                int(match[5]), int(match[6]), str(window_id) in shown))
        return found

    def tooltip(self):
        titles = [w.title for w in self.windows()
                  if ACTIVE_TIP.match(w.title) or OUTAGE_TIP.match(w.title)]
        return titles[0] if len(titles) == 1 else None

    def tray_tooltip(self):
        return self.tooltip()

    def note_windows(self, texts):
        """The shown windows whose title is one of texts."""
        return [w for w in self.shown() if w.title in texts]

    def icon_pixels(self):
        icon = self.tray_icon()
        if icon is None:
            return None
        return subprocess.run(
            ["import", "-display", self.desktop.display, "-window", "root", "-crop",
             f"{icon.width}x{icon.height}+{icon.x}+{icon.y}", "rgb:-"],
            capture_output=True).stdout

    # Alerts

    def expect_answer(self, seconds=60):
        """The next alerts within seconds answer what the user does now."""
        self.expecting_answer_until = time.monotonic() + seconds

    def dismiss_alerts(self):
        """Reads and closes every alert on the screen, oldest first; returns them."""
        closed = []
        for box in [w for w in self.shown() if w.title == ALERT_TITLE]:
            text = self._next_alert_text()
            alert = Alert(time.monotonic(), text,
                          time.monotonic() <= self.expecting_answer_until)
            self.alerts.append(alert)
            closed.append(alert)
            self.desktop.run("xdotool", "windowfocus", "--sync", str(box.id), check=False)
            self.desktop.key("Return")
            try:
                self.wait_gone(box, 10, "the alert to close")
            except StepFailure:
                # Its OK button, bottom right, when the keyboard went elsewhere.
                self.desktop.click(box.x + box.width - 50, box.y + box.height - 20)
                self.wait_gone(box, 10, "the alert to close")
        return closed

    def _next_alert_text(self):
        def logged():
            self.read_log()
            alerts = [r for r in self.records if r[1] == "vimo.alert"]
            return alerts if len(alerts) > self._alert_records_used else None
        alerts = wait_for(logged, 10, "the alert's text in the program's log")
        self._alert_records_used += 1
        return alerts[self._alert_records_used - 1][2]

    # Driving it

    def sign_in(self, user):
        login = self.new_window(set(), "the sign-in dialog", 90,
                                where=lambda w: w.title == SIGN_IN_TITLE)
        self.wait_focused(login)
        self.desktop.type(user.lower())
        self.desktop.key("Tab", "Tab", "space")
        self.wait_gone(login, 30, "the sign-in dialog to close")
        wait_for(self.tray_icon, 30, f"{self.name}'s icon in the tray")
        self.tray_since = time.monotonic()
        self.user = user

    def next_poll(self, after=None):
        """When the copy polls next after the moment given, as its 20 s timer runs from the
        moment its icon came."""
        after = time.monotonic() if after is None else after
        periods = int((after - self.tray_since) // 20.0) + 1
        return self.tray_since + periods * 20.0

    def saw_poll_by(self, moment):
        """A note showed at this moment: the poll that opened it ran just before."""
        self.tray_since = moment - 0.2

    def compose(self, recipient, text):
        """Opens "New Vimo" from the tray and writes the note; Send is not pressed yet."""
        before = {w.id for w in self.shown()}
        self.tray_command("n")
        dialog = self.new_window(before, 'the "New Vimo" dialog', 30,
                                 where=lambda w: w.title == COMPOSE_TITLE)
        self.wait_focused(dialog)
        self.desktop.type(recipient.lower())
        self.desktop.key("Tab")
        self.desktop.type(text)
        return dialog

    def compose_dialog(self):
        found = [w for w in self.shown() if w.title == COMPOSE_TITLE]
        return found[0] if found else None

    def press(self, dialog, button):
        # Where the dialog is now: a busy copy may place it after it first showed.
        dialog = self.desktop.window(dialog.id) or dialog
        self.desktop.click(dialog.x + round(dialog.width * button[0]),
                           dialog.y + round(dialog.height * button[1]))

    def quit(self):
        self.tray_command("q")
        self.wait_until_ended(15)

    def restart(self, *arguments):
        self.kill()
        self.start(*arguments)
        self.sign_in(self.user)
