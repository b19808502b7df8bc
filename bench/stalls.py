#!/usr/bin/env python3
"""How long the desktop stands still while the store does not answer. One copy of the program
runs on a virtual desktop with its GUI heartbeat logged (a 10 ms timer; every gap above 30 ms
is written down). For each fault of its store the user sends a note, then drags a note and
opens the tray menu again and again until the fault ends:

  sqlite:   the data file locked by another program (an exclusive transaction)
  postgres: the server frozen with SIGSTOP; the notes table locked (ACCESS EXCLUSIVE in an
            open transaction)

With --waiting N, N more notes wait for the user at sign-in, and the first row is the sign-in
itself: the longest GUI gap from the last key of the sign-in until every note has shown.

Prints, for each fault, the longest GUI gap, the slowest drag (press to the note at its new
place) and the slowest tray menu (click to the menu on screen), then whether the sent note
was stored once the fault ended. Exits 1 when a gap exceeds --fail-above (ms), or a step
failed; the figures are for reading, only that bound is judged.

  PYTHONPATH=tests python3 bench/stalls.py --store sqlite|postgres
      --program BUILD/src/app/vimo --odbcinst-entry INI --psqlodbc SO --desktop-fixture SH
      --pg-fixture SH --display N --port P --work DIR [--seconds S] [--fail-above MS]
      [--waiting N]"""

import argparse
import os
import shutil
import sqlite3
import subprocess
import sys
import threading
import time

from harness.copies import ACTIVE_TIP, SEND_BUTTON, Copy
from harness.desktop import Desktop, StepFailure, wait_for
from harness.injectors import FileLock, PostgresServer
from harness.stores import PostgresStore

UI = 30


class MachinePauses:
    """The machine's own pauses, seen by a thread of this script that wakes every 10 ms. A gap
    the program shares with it (a virtual machine held for a snapshot stops every process at
    once) is not the program's."""

    def __init__(self):
        self.gaps = []  # (ended, ms), on the monotonic clock the program logs with
        threading.Thread(target=self.beat, daemon=True).start()

    def beat(self):
        last = time.monotonic()
        while True:
            time.sleep(0.01)
            now = time.monotonic()
            if now - last > 0.1:
                self.gaps.append((now, (now - last) * 1000))
            last = now

    def explain(self, ended, ms):
        shared = any(abs(at - ended) < 1 and gap >= ms / 2 for at, gap in self.gaps)
        if shared:
            log(f"a gap of {ms} ms was the machine's: this script stood still with it")
        return shared


def log(text):
    print(f"stalls: {text}", file=sys.stderr, flush=True)


class TableLock:
    """Another session holds the notes table: ACCESS EXCLUSIVE in a transaction left open."""

    def __init__(self, port, database):
        self.command = ["psql", "-h", "127.0.0.1", "-p", str(port), "-U", "postgres", "-d",
                        database, "-X", "-q", "-v", "ON_ERROR_STOP=1"]
        self.process = None

    def take(self):
        self.process = subprocess.Popen(self.command, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                        text=True)
        self.process.stdin.write("BEGIN;\nLOCK TABLE MSGS IN ACCESS EXCLUSIVE MODE;\n"
                                 "\\echo LOCKED\n")
        self.process.stdin.flush()
        line = self.process.stdout.readline().strip()
        if line != "LOCKED":
            self.process.kill()
            raise StepFailure(f"psql did not lock the table: {line!r}")

    def release(self):
        if self.process is not None:
            try:
                self.process.communicate("COMMIT;\n\\q\n", timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
            self.process = None


class Run:
    def __init__(self, args):
        self.args = args
        self.pauses = MachinePauses()
        shutil.rmtree(args.work, ignore_errors=True)
        root = os.path.join(args.work, "ann")
        self.copy = Copy("ann", Desktop(args.display, os.path.join(root, "desktop"),
                                        args.desktop_fixture),
                         root, os.path.abspath(args.program), args.odbcinst_entry,
                         args.psqlodbc)
        self.rows = []
        self.failed = False
        self.serial = 0
        # A desktop that stands still through a whole fault still counts, however long.
        self.patience = UI + (args.seconds or 30)

    def drag_once(self, note, offset):
        """Drags the note by offset; returns the seconds from the press until it is there,
        and the note where it now is. An alert that comes meanwhile holds the notes: it is
        closed and the drag made again, and that drag is the one timed."""
        while True:
            grab = (note.x + 30, note.y + 40)
            target = (note.x + offset[0], note.y + offset[1])
            started = time.monotonic()
            self.copy.desktop.drag(grab, (grab[0] + offset[0], grab[1] + offset[1]), steps=6)
            found = wait_for(lambda: next((w for w in self.copy.shown_titled(note.title)
                                           if (w.x, w.y) == target), None)
                             or ("alert" if self.copy.shown_titled("VIMO!!") else None),
                             self.patience, "the note to follow the mouse")
            if found != "alert":
                return time.monotonic() - started, found
            self.copy.dismiss_alerts()
            note = wait_for(lambda: next(iter(self.copy.shown_titled(note.title)), None), UI,
                            "the note after the alert")

    def menu_once(self):
        icon = wait_for(self.copy.tray_icon, UI, "the tray icon")
        before = {w.id for w in self.copy.shown()}
        started = time.monotonic()
        self.copy.desktop.click(*icon.centre)
        menu = self.copy.new_window(before, "the tray menu", self.patience,
                                    where=lambda w: w.y + w.height <= icon.y + 1
                                    and self.copy.is_menu(w))
        took = time.monotonic() - started
        self.copy.desktop.key("Escape")
        self.copy.wait_gone(menu, what="the tray menu to close")
        self.copy.desktop.move(*self.copy.RESTING_PLACE)
        return took

    def fault(self, name, take, release, seconds, stored):
        """Takes the fault, sends a note into it, then drags and opens the menu until it has
        lasted its seconds; then lifts it and waits for the note."""
        self.serial += 1
        text = f"sent during {name} {self.serial}"
        note = wait_for(lambda: next(iter(self.copy.shown_titled("drag me")), None), UI,
                        "the note to drag")
        dialog = self.copy.compose("ANN", text)
        drags, menus = [], []
        take()
        start = time.monotonic()
        # Lifted on time even when the desktop does not answer the steps below.
        lift = threading.Timer(seconds, release)
        lift.start()
        try:
            self.copy.press(dialog, SEND_BUTTON)
            offset = (40, 30)
            while time.monotonic() - start < seconds:
                # A refusal's alert holds the notes until the user closes it, as a user does.
                if self.copy.shown_titled("VIMO!!"):
                    self.copy.dismiss_alerts()
                took, note = self.drag_once(note, offset)
                drags.append(took)
                offset = (-offset[0], -offset[1])
                menus.append(self.menu_once())
        finally:
            lift.cancel()
            lift.join()
            release()  # once more does nothing
        end = time.monotonic()
        # The note goes in once the store answers again, or its refusal comes as an alert
        # (which a key of the user's may have closed already); then it is sent again.

        def alerted():
            self.copy.read_log()
            return any(category == "vimo.alert" and at >= start
                       for at, category, _ in self.copy.records)
        outcome = wait_for(lambda: "stored" if stored(text) else
                           ("refused" if alerted() else None),
                           90, f"the note sent during {name} to be stored or refused")
        if outcome == "refused":
            if self.copy.shown_titled("VIMO!!"):
                self.copy.dismiss_alerts()
            dialog = wait_for(self.copy.compose_dialog, UI, "the refused note's dialog")
            self.copy.press(dialog, SEND_BUTTON)
            wait_for(lambda: stored(text), 60, "the note sent again")
            outcome = "refused, then stored"
        gap = self.copy.stalls(start - 0.5, end + 0.5, self.pauses.explain)
        self.rows.append((name, seconds, gap, max(drags), max(menus), len(drags), outcome))
        if gap > self.args.fail_above:
            self.failed = True

    def start_copy(self, *arguments):
        # The tray's message of new notes stands above the icon like the tray menu, and the
        # menu is what is timed here: notifications off.
        settings = os.path.join(self.copy.environment["XDG_CONFIG_HOME"], "vimo")
        os.makedirs(settings, exist_ok=True)
        with open(os.path.join(settings, "vimo.ini"), "w") as ini:
            ini.write("[Vimo]\nNotifications=false\n")
        self.copy.desktop.start()
        self.copy.start(*arguments)
        signing_in = time.monotonic()
        self.copy.sign_in("ANN")
        wait_for(lambda: self.copy.tooltip() and ACTIVE_TIP.match(self.copy.tooltip()), UI,
                 "the tooltip")
        if self.args.waiting:
            wait_for(lambda: sum(w.title.startswith("waiting ") for w in self.copy.shown())
                     >= self.args.waiting, 120, f"the {self.args.waiting} waiting notes")
            shown = time.monotonic()
            # The program logs a gap once it turns again, a moment after the windows map.
            time.sleep(1)
            gap = self.copy.stalls(signing_in, shown + 0.5, self.pauses.explain)
            self.rows.append((f"sign-in, {self.args.waiting} notes waiting", 0, gap, 0, 0, 0,
                              f"all shown {shown - signing_in:.1f} s after the sign-in began"))
            if gap > self.args.fail_above:
                self.failed = True
        # Out of the way of the notes that arrive and of the compose dialog.
        note = wait_for(lambda: next(iter(self.copy.shown_titled("drag me")), None), UI,
                        "the note to drag")
        self.drag_once(note, (100 - note.x, 550 - note.y))

    def waiting_notes(self):
        # Stored before the note to drag, which then opens last, on top of them.
        return [(f"waiting {n}", n) for n in range(1, self.args.waiting + 1)]

    def sqlite(self):
        path = os.path.join(self.args.work, "office.vmo")
        with sqlite3.connect(path) as db:
            for statement in PostgresStore.TABLES:
                db.execute(statement)
            db.execute("INSERT INTO USRS VALUES('ANN')")
            db.executemany("INSERT INTO MSGS VALUES(?,'ANN','CAT',20261207,1,?)",
                           self.waiting_notes())
            db.execute("INSERT INTO MSGS VALUES('drag me','ANN','CAT',20261207,1,?)",
                       (self.args.waiting + 1,))
        db.close()

        def stored(text):
            with sqlite3.connect(path, timeout=20) as db:
                found = db.execute("SELECT COUNT(*) FROM MSGS WHERE MSG=?", (text,)).fetchone()
            db.close()
            return found[0] > 0

        self.start_copy(path)
        lock = FileLock(path)
        self.fault("file locked", lock.take, lock.release, self.args.seconds or 10, stored)

    def postgres(self):
        server = PostgresServer(self.args.pg_fixture, os.path.join(self.args.work, "pg"),
                                self.args.port)
        server.create()
        try:
            store = PostgresStore(self.args.port, "vimo_stalls")
            store.create()
            store._psql(store.database, "INSERT INTO USRS VALUES('ANN');"
                        + "".join(f"INSERT INTO MSGS VALUES('{text}','ANN','CAT',20261207,1,{key});"
                                  for text, key in self.waiting_notes())
                        + "INSERT INTO MSGS VALUES('drag me','ANN','CAT',20261207,1,"
                        f"{self.args.waiting + 1})")
            with open(self.copy.odbc_ini, "w") as odbc_ini:
                odbc_ini.write(store.data_source())

            def stored(text):
                return bool(store._psql(store.database,
                                        f"SELECT 1 FROM MSGS WHERE MSG='{text}'"))

            self.start_copy()
            seconds = self.args.seconds or 30
            self.fault("server frozen", server.freeze, server.thaw, seconds, stored)
            lock = TableLock(self.args.port, store.database)
            self.fault("table locked", lock.take, lock.release, seconds, stored)
        finally:
            server.remove()

    def run(self):
        try:
            getattr(self, self.args.store)()
        except (StepFailure, RuntimeError) as failure:
            log(f"failed: {failure}\n{self.copy.log_tail()}")
            try:
                self.copy.screenshot(os.path.join(self.args.work, "failed.png"))
                log(f"windows: {self.copy.shown()}")
            except StepFailure:
                pass
            self.failed = True
        finally:
            self.copy.kill()
            self.copy.desktop.stop()
        print(f"| {self.args.store} fault | s | longest GUI gap (ms) | slowest drag (ms) | "
              "slowest tray menu (ms) | drags | the note sent into it |")
        print("|---|---|---|---|---|---|---|")
        for name, seconds, gap, drag, menu, count, outcome in self.rows:
            print(f"| {name} | {seconds:g} | {gap or '< 30'} | {drag * 1000:.0f} | "
                  f"{menu * 1000:.0f} | {count} | {outcome} |")
        return 1 if self.failed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--store", choices=("sqlite", "postgres"), required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--odbcinst-entry", required=True)
    parser.add_argument("--psqlodbc", required=True)
    parser.add_argument("--desktop-fixture", required=True)
    parser.add_argument("--pg-fixture", required=True)
    parser.add_argument("--display", type=int, required=True)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--seconds", type=float, default=0,
                        help="how long each fault lasts (default: 10 s locked file, 30 s "
                        "for the server's faults)")
    parser.add_argument("--fail-above", type=int, default=500)
    parser.add_argument("--waiting", type=int, default=0,
                        help="notes that wait for the user at sign-in, besides the one to drag")
    return Run(parser.parse_args()).run()


if __name__ == "__main__":
    sys.exit(main())
