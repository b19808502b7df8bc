#!/usr/bin/env python3
"""Takes the pictures of the README and the user guide again: notes of each urgency on a
desktop (docs/images/notes.png) and the tray menu (docs/images/tray-menu.png).

It builds nothing: give it a build folder in which the program is built. It starts two
virtual desktops with a tray host on free X displays, makes a throwaway SQLite store with
private ODBC and settings files, and then works as people would, through clicks and keys
only: ANN and BOB sign up, ANN sends BOB a few notes of each urgency, BOB arranges them and
rests the pointer on one, and opens his tray menu. Nothing outside the work folder and the
two pictures is touched.

  PYTHONPATH=tests python3 scripts/screenshots.py [--build build] [--displays N M]
      [--out docs/images]"""

import argparse
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile

from e2e.two_colleagues import UI_TIMEOUT, Run, sign_in, write_note
from harness.desktop import Desktop, StepFailure, Workstation, wait_for
from harness.stores import PostgresStore

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# In the order ANN sends them: the newest opens on top.
NOTES = (
    ("Call the printer man", 1),
    ("Fire drill at 3", 3),
    ("Lunch at Kim's & Lee's?", 2),
    ("Coffee machine is fixed", 1),
    ("Meeting moved to room B", 2),
    ("Server goes down at 6 pm: save your work", 3),
)
# Where BOB drags each note, newest first; the two oldest stay where they opened, one over
# the other, as every note arrives.
PLACES = ((400, 180), (250, 200), (330, 50), (200, 70))
DESKTOP_COLOUR = "#4a6f8a"
MARGIN = 16


def free_displays(count, first=111):
    """The lowest display numbers with neither a server's lock nor its socket."""
    found, number = [], first
    while len(found) < count:
        if not (os.path.exists(f"/tmp/.X{number}-lock")
                or os.path.exists(f"/tmp/.X11-unix/X{number}")):
            found.append(number)
        number += 1
    return found


def cache_value(build, name):
    with open(os.path.join(build, "CMakeCache.txt")) as cache:
        for line in cache:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    return ""


def paint_desktop(desktop, work):
    """A plain coloured desktop instead of the black of a bare X server."""
    background = os.path.join(work, "background.png")
    subprocess.run(["convert", "-size", "1024x768", f"xc:{DESKTOP_COLOUR}", background],
                   check=True)
    # display ends with status 1 once it has painted the root window.
    desktop.run("display", "-window", "root", background, check=False)


def crop(source, target, box):
    x, y, width, height = box
    subprocess.run(["convert", source, "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                    "-strip", target], check=True)


def enclosing(windows, screen=(1024, 768)):
    """The box around the windows with a margin, within the screen."""
    left = max(min(w.x for w in windows) - MARGIN, 0)
    top = max(min(w.y for w in windows) - MARGIN, 0)
    right = min(max(w.x + w.width for w in windows) + MARGIN, screen[0])
    bottom = min(max(w.y + w.height for w in windows) + MARGIN, screen[1])
    return (left, top, right - left, bottom - top)


def make_store(path):
    """An office's data file with its tables, made as an administrator makes a server's (the
    statements suit both engines); the program adds the receipts at its first start."""
    with sqlite3.connect(path) as db:
        for statement in PostgresStore.TABLES:
            db.execute(statement)


def take(args, work):
    program = os.path.join(args.build, "src", "app", "vimo")
    if not os.access(program, os.X_OK):
        raise StepFailure(f"no program at {program}: build the target vimo first")
    entry = os.path.join(args.build, "odbcinst-entry.ini")
    psqlodbc = cache_value(args.build, "VIMO_PSQLODBC_DRIVER")
    fixture = os.path.join(SOURCE, "tests", "support", "desktop-fixture.sh")

    stations = []
    for name, number in zip(("bob", "ann"), args.displays):
        root = os.path.join(work, name)
        desktop = Desktop(number, os.path.join(root, "desktop"), fixture)
        station = Workstation(name, desktop, root, program, entry, psqlodbc)
        # English texts whatever the machine's locale; no balloons in the pictures.
        station.environment.update(LANGUAGE="en", LC_ALL="C.UTF-8")
        os.makedirs(os.path.join(root, "config", "vimo"))
        with open(os.path.join(root, "config", "vimo", "vimo.ini"), "w") as settings:
            settings.write("[Vimo]\nNotifications=false\n")
        stations.append(station)
    bob, ann = stations
    run = Run(os.path.join(work, "steps"), stations)
    os.makedirs(run.artifacts)
    data_file = os.path.join(work, "office.vmo")
    make_store(data_file)

    try:
        for station in stations:
            station.desktop.start()
        paint_desktop(bob.desktop, work)
        for station, name in ((bob, "BOB"), (ann, "ANN")):
            station.start(data_file)
            sign_in(station, name, new_user=True)

        for number, (text, urgency) in enumerate(NOTES, start=1):
            print(f"screenshots: ANN sends {text!r}", flush=True)
            write_note(ann, run, f"note-{number}", 1, text, urgency)
        shown = {text: wait_for(lambda: bob.shown_titled(text), UI_TIMEOUT + 20,
                                f"the note {text!r} on BOB's screen")[0]
                 for text, _ in NOTES}

        # Newest first: each is the top of what is left of the pile.
        for (text, _), place in zip(reversed(NOTES), PLACES):
            note = shown[text]
            grab = (note.x + 50, note.y + 80)
            bob.desktop.drag(grab, (grab[0] + place[0] - note.x, grab[1] + place[1] - note.y))
            shown[text] = wait_for(
                lambda: next((w for w in bob.shown_titled(text) if (w.x, w.y) == place), None),
                UI_TIMEOUT, f"the note {text!r} at {place}")
        longest = NOTES[-1][0]
        bob.note_command(shown[longest], "e")
        shown[longest] = wait_for(
            lambda: next((w for w in bob.shown_titled(longest) if w.width > 100), None),
            UI_TIMEOUT, "the enlarged note")

        # The tip of the green note in the middle names its sender and day.
        tipped = shown[NOTES[2][0]]
        before = {w.id for w in bob.shown()}
        bob.desktop.move(tipped.x + 50, tipped.y + 60)
        tip = bob.new_window(before, "the note's tip", UI_TIMEOUT,
                             where=lambda w: w.height < 40 and w.y > tipped.y + 40)
        whole = os.path.join(work, "notes-whole.png")
        bob.screenshot(whole)
        crop(whole, os.path.join(args.out, "notes.png"), enclosing(list(shown.values()) + [tip]))

        bob.desktop.move(*bob.RESTING_PLACE)
        bob.wait_gone(tip, UI_TIMEOUT, "the note's tip to go")
        menu = bob.open_tray_menu()
        panel = bob.desktop.tray_panel()
        whole = os.path.join(work, "tray-menu-whole.png")
        bob.screenshot(whole)
        # The menu and the corner of the panel it rose from.
        box = enclosing([menu])
        box = (box[0], box[1], box[2], panel.y + panel.height - box[1])
        crop(whole, os.path.join(args.out, "tray-menu.png"), box)
        bob.desktop.key("Escape")
        for station in stations:
            station.tray_command("q")
            station.wait_until_ended(15)
    except StepFailure as failure:
        print(f"screenshots: FAILED: {failure}", file=sys.stderr)
        for station in stations:
            print(f"screenshots: {station.name}'s program said:\n{station.log_tail()}",
                  file=sys.stderr)
        return 1
    finally:
        for station in stations:
            station.kill()
            station.desktop.stop()
    for name in ("notes.png", "tray-menu.png"):
        print(f"screenshots: {os.path.join(args.out, name)}")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"),
                        help="the build folder (default: build)")
    parser.add_argument("--displays", type=int, nargs=2, metavar="N",
                        help="two free X display numbers (default: the first free from :111)")
    parser.add_argument("--out", default=os.path.join(SOURCE, "docs", "images"),
                        help="where the pictures go (default: docs/images)")
    parser.add_argument("--keep", action="store_true",
                        help="keep the work folder, with a screenshot of every step")
    args = parser.parse_args()
    # The program starts in its user's home folder.
    args.build, args.out = os.path.abspath(args.build), os.path.abspath(args.out)
    args.displays = args.displays or free_displays(2)
    os.makedirs(args.out, exist_ok=True)
    work = tempfile.mkdtemp(prefix="vimo-screenshots-")
    try:
        return take(args, work)
    finally:
        if args.keep:
            print(f"screenshots: work folder {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
