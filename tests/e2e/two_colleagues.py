#!/usr/bin/env python3
"""Two colleagues, ANN and BOB, each at a workstation of their own, exchange notes through one
shared store: BOB sets the store up and signs up, ANN joins and writes to him, he receives,
enlarges, drags and deletes a note, quits, starts again and finds the notes still waiting,
answers one with Reply, ANN reads in "Sent Vimos" what became of her notes, BOB hides and
shows them all, deletes a note and brings it back, and a note for later comes at its time.
Driven only by synthetic input, checked on the screen and in the store. Screenshots of every
step go to the artifacts folder. With --tls or --kerberos the run ends after the first note,
once the server's views show how each copy's links came in."""

import argparse
import os
import re
import subprocess
import sys
import time
import traceback
from contextlib import contextmanager

from harness.desktop import Desktop, StepFailure, Workstation, remove_tree, wait_for
from harness.secure_links import KerberosLinks, TlsLinks, check_links, refused_for_another_root
from harness.stores import PostgresStore, SqliteStore

YELLOW, GREEN, RED = (255, 255, 0), (0, 255, 0), (255, 0, 0)
URGENCY_COLOURS = {1: YELLOW, 2: GREEN, 3: RED}
NOTE_SIZE = 100

FIRST_NOTE = ("Lunch at Kim's & Lee's?", 2)
MORE_NOTES = (("Call the printer man", 1), ("Fire drill at 3", 3))
REPLY = ("Drill noted, thanks", 2)
GROUP_NOTE = ("Team meeting moved", 2)
LATER_NOTE = "Report due at four"
UNDO_OFFER = 10          # the balloon after a deletion offers Undo this long
CAPTION_COLOUR = (216, 208, 200)

UI_TIMEOUT = 30          # a dialog or menu to come, on a busy machine
DELIVERY_LIMIT = 25      # the recipient polls every 20 s
QUIT_TIMEOUT = 15        # Quit takes a second


def check(condition, message):
    if not condition:
        raise StepFailure(message)


def slug(text):
    return re.sub(r"[^a-z0-9]+", "-", text.lower()).strip("-")[:60]


class Run:
    """Numbers the steps, takes their screenshots and says where a failure happened."""

    def __init__(self, artifacts, stations):
        self.artifacts = artifacts
        self.stations = stations
        self.number = 0
        self.figures = []

    def shot(self, label, *stations):
        for station in stations:
            station.screenshot(os.path.join(self.artifacts, f"{label}-{station.name}.png"))

    @contextmanager
    def step(self, name, *stations):
        self.number += 1
        label = f"{self.number:02d}-{slug(name)}"
        started = time.monotonic()
        print(f"e2e: step {self.number}: {name}", flush=True)
        try:
            yield label
        except Exception as failure:
            shots = []
            for station in self.stations:
                path = os.path.join(self.artifacts, f"{label}-FAILED-{station.name}.png")
                try:
                    station.screenshot(path)
                    shots.append(path)
                except Exception:  # the display itself may be the trouble
                    pass
            reason = str(failure) if isinstance(failure, StepFailure) else traceback.format_exc()
            raise ScenarioFailed(self.number, name, reason, shots) from failure
        self.shot(label, *stations)
        print(f"e2e:   done in {time.monotonic() - started:.1f} s", flush=True)

    def figure(self, text):
        self.figures.append(text)
        print(f"e2e:   {text}", flush=True)


class ScenarioFailed(Exception):
    def __init__(self, number, name, reason, shots):
        super().__init__(f"step {number} ({name}) failed: {reason}")
        self.shots = shots


def is_question_box(window):
    return window.title == "Vimo" and (window.width, window.height) == (300, 46)


def answer_question(station, before, what, shot=None):
    """Waits for the yes/no box and answers yes with Enter."""
    box = station.new_window(before, f'the question "{what}"', UI_TIMEOUT, where=is_question_box)
    station.wait_focused(box)
    if shot:
        shot()
    station.desktop.key("Return")
    station.wait_gone(box, UI_TIMEOUT, f'the question "{what}" to close')


def sign_in(station, name, new_user, shot=None, bound=False):
    login = station.new_window(set(), "the sign-in dialog", UI_TIMEOUT,
                               where=lambda w: w.title == "Login & Identification")
    station.wait_focused(login)
    # In small letters: the name box writes capitals. Then Tab to "Login" and press it; a
    # bound role's box takes no typing, and "?" is gone.
    station.desktop.type(name.lower())
    station.desktop.key(*(["Tab"] if bound else ["Tab", "Tab"]), "space")
    if new_user and not bound:
        answer_question(station, {login.id}, "Add new User", shot)
    station.wait_gone(login, UI_TIMEOUT, "the sign-in dialog to close")
    wait_for(station.tray_icon, UI_TIMEOUT, f"{station.name}'s icon in the tray")


def tooltip_reads(station, text, timeout=UI_TIMEOUT):
    wait_for(lambda: station.tray_tooltip() == text, timeout,
             lambda: f'{station.name}\'s tooltip to read "{text}"; it reads '
                     f'{station.tray_tooltip()!r}')


def check_note_colour(station, note, colour, label, others=()):
    """The note's label is painted in the colour: sampled in its lower part, below a short
    text, inside the one-pixel frame and where none of the other notes could cover it. A window
    is on the screen a moment before its contents are, so this waits for the paint."""
    points = [(x, y)
              for y in range(note.y + note.height - 35, note.y + note.height - 4, 10)
              for x in range(note.x + 5, note.x + note.width - 4, 10)
              if not any(other.contains(x, y) for other in others)]
    check(len(points) >= 3, f"the note {note.title!r} is covered by the others")
    wrong = []

    def painted():
        shot = station.screenshot(os.path.join(station.scratch, f"{label}.png"))
        wrong[:] = [(x, y, shot.pixel(x, y)) for x, y in points if shot.pixel(x, y) != colour]
        return not wrong
    wait_for(painted, UI_TIMEOUT,
             lambda: f"the note {note.title!r} to be {colour}; the screen shows "
                     f"{wrong[:5]} (x, y, colour) of {len(points)} points")


def highlighted_row(before, after, area):
    """The row of a list that turned highlighted between two screenshots: the band of rows
    whose pixels turned a saturated blue. Focus frames that turned blue too are thin and are
    left out."""
    per_row = {}
    for y in range(area.y, area.y + area.height):
        for x in range(area.x, area.x + area.width):
            r, g, b = after.pixel(x, y)
            if b > 150 and b - r > 80 and (r, g, b) != before.pixel(x, y):
                per_row.setdefault(y, []).append(x)
    if not per_row:
        return None
    widest = max(len(xs) for xs in per_row.values())
    if widest < 40:
        return None
    band = sorted(y for y, xs in per_row.items() if len(xs) >= widest // 2)
    if band[-1] - band[0] + 1 != len(band):
        return None  # not one band yet: still painting
    xs = [x for y in band for x in per_row[y]]
    return (min(xs), band[0], max(xs) - min(xs) + 1, len(band))


def write_note(station, run, label, recipient_row, text, urgency):
    """Opens "New Vimo" from the tray, picks the addressee from the list under "?", types the
    text, ticks the urgency's square and presses Send. Returns when Send was pressed."""
    desk = station.desktop
    before = {w.id for w in station.shown()}
    station.tray_command("n")
    compose = station.new_window(before, 'the "New Vimo" dialog', UI_TIMEOUT,
                                 where=lambda w: w.title == "New Vimo")
    station.wait_focused(compose)

    # Back from the addressee box past "Send at" (its time is off until ticked) and the urgency
    # to "?", behind Send and Cancel, and press it: the list opens below the box with its first
    # name highlighted.
    desk.key(*["shift+Tab"] * 5)
    closed = station.screenshot(os.path.join(station.scratch, "list-closed.png"))
    desk.key("space")
    row = wait_for(
        lambda: highlighted_row(
            closed, station.screenshot(os.path.join(station.scratch, "list-open.png")), compose),
        UI_TIMEOUT, "the list of names under \"?\" with its first name highlighted")
    run.shot(f"{label}-list", station)
    x, y, width, height = row
    # A double-click on the name takes it and moves on to the text box.
    desk.click(x + width // 2, y + height * recipient_row + height // 2, repeat=2)
    desk.type(text)

    return send_note(station, run, label, compose, urgency)


def send_note(station, run, label, compose, urgency):
    """Ticks the urgency's square of the open "New Vimo" dialog and presses Send. Returns when
    Send was pressed."""
    desk = station.desktop
    square = wait_for(
        lambda: station.screenshot(os.path.join(station.scratch, "compose.png"))
        .find_colour(compose, URGENCY_COLOURS[urgency]),
        UI_TIMEOUT, f"a square of the urgency's colour in the dialog {compose.geometry}")
    desk.click(square[0] + square[2] // 2, square[1] + square[3] // 2)
    # From the urgency box back past the boxes before it, "?" and Cancel to Send.
    desk.key(*["shift+Tab"] * (urgency - 1 + 3))
    run.shot(f"{label}-ready", station)
    desk.key("space")
    sent = time.monotonic()
    station.wait_gone(compose, UI_TIMEOUT, 'the "New Vimo" dialog to close after Send')
    return sent


def urgent_mark_reads(station, marked, label):
    """Waits for the tray icon to carry the red mark of an untouched red note, or not to. The
    mark fills the icon's top right quarter; its left part is clear of the icon's own pin."""
    def as_wanted():
        icon = station.tray_icon()
        if icon is None:
            return False
        shot = station.screenshot(os.path.join(station.scratch, f"{label}.png"))
        r, g, b = shot.pixel(icon.x + icon.width * 6 // 10, icon.y + icon.height // 4)
        return (r > 180 and g < 80 and b < 80) == marked
    wait_for(as_wanted, UI_TIMEOUT,
             f"{station.name}'s tray icon {'with' if marked else 'without'} the urgent mark")


def wait_for_note(store, text, timeout=UI_TIMEOUT):
    def stored():
        found = [n for n in store.notes() if n.text == text]
        return found[0] if found else None
    return wait_for(stored, timeout, f"the note {text!r} in the store")


def scenario(run, store, ann, bob, data_file, links=None):
    identity = getattr(store, "identity", False)
    # BOB sets up the office's store.
    if store.kind == "sqlite":
        with run.step("BOB starts on a fresh machine and is asked to create a file", bob):
            bob.start()
            box = bob.new_window(set(), 'the question "Create New File"', UI_TIMEOUT,
                                 where=is_question_box)
            bob.wait_focused(box)
        with run.step("BOB answers yes and names the new file", bob) as label:
            bob.desktop.key("Return")
            chooser = bob.new_window({box.id}, 'the file dialog "Vimo"', UI_TIMEOUT,
                                     where=lambda w: w.title == "Vimo" and w.width > 300)
            bob.wait_focused(chooser)
            # Without extension: the dialog adds ".vmo".
            bob.desktop.type(data_file[:-len(".vmo")])
            bob.desktop.key("Return")
            # It takes the keyboard; the list of names the file box offers does not.
            prompt = bob.new_window(
                {box.id, chooser.id}, "the question to create the file", UI_TIMEOUT,
                where=lambda w: w.title == "Vimo" and bob.desktop.focused_window() == w.id)
            bob.wait_focused(prompt)
            run.shot(f"{label}-create-prompt", bob)
            bob.desktop.key("Return")
            bob.wait_gone(chooser, UI_TIMEOUT, "the file dialog to close")
            wait_for(store.exists, UI_TIMEOUT, f"the data file {data_file}")
    else:
        with run.step("BOB starts with the data source VIMO on the office's server", bob):
            bob.start()

    with run.step("BOB signs up", bob) as label:
        sign_in(bob, "BOB", new_user=True, shot=lambda: run.shot(f"{label}-add-user", bob),
                bound=identity)
        tooltip_reads(bob, "0 Vimos Active")
        check(store.users() == ["BOB"], f"the users should be BOB alone: {store.users()}")
        if identity:  # on the channel that only his role can learn
            wait_for(lambda: store.psql_as("postgres", "SELECT count(*) FROM pg_stat_activity A "
                                           "JOIN VIMO_WAKEUPS W ON A.query LIKE '%LISTEN ' || "
                                           "W.CHANNEL WHERE W.NAME = A.usename") == "1",
                     UI_TIMEOUT, "BOB's copy listening on his secret channel")

    with run.step("ANN starts" + (" with the file on the command line" if data_file else "")
                  + " and signs up", ann) as label:
        if data_file:
            ann.start(data_file)
        else:
            ann.start()
        sign_in(ann, "ANN", new_user=True, shot=lambda: run.shot(f"{label}-add-user", ann),
                bound=identity)
        if data_file:
            with open(ann.odbc_ini) as odbc_ini:
                check(f"={data_file}\n" in odbc_ini.read(),
                      "ANN's data source VIMO should name the file from the command line")
        tooltip_reads(ann, "0 Vimos Active")
        check(store.users() == ["ANN", "BOB"], f"the users should be ANN and BOB: {store.users()}")

    # The picker's shot in the next step shows BOB "in".
    with run.step("ANN's copy and BOB's say that both are in", ann):
        wait_for(lambda: store.presence() == {"ANN": 1, "BOB": 1}, UI_TIMEOUT,
                 "ANN and BOB in the store's presence")

    # ANN writes to BOB; the note opens on his screen at his next poll.
    text, urgency = FIRST_NOTE
    with run.step("ANN picks BOB from the list, writes a green note and sends it", ann) as label:
        sent = write_note(ann, run, label, recipient_row=1, text=text, urgency=urgency)
        note = wait_for_note(store, text)
        check((note.recipient, note.sender, note.urgency) == ("BOB", "ANN", urgency),
              f"the stored note should go from ANN to BOB with urgency {urgency}: {note}")

    with run.step("the green note opens on BOB's screen at (50, 50)", bob, ann):
        shown = wait_for(lambda: bob.shown_titled(text), DELIVERY_LIMIT + 5,
                         f"the note {text!r} on BOB's screen")[0]
        delay = time.monotonic() - sent
        run.figure(f"delivery: the note showed {delay:.1f} s after Send")
        check(delay <= DELIVERY_LIMIT, f"the note took {delay:.1f} s, more than {DELIVERY_LIMIT} s")
        check(shown.geometry == (50, 50, NOTE_SIZE, NOTE_SIZE),
              f"the note should be at (50, 50), 100 x 100: {shown.geometry}")
        check_note_colour(bob, shown, GREEN, "first-note")
        tooltip_reads(bob, "1 Vimo Active")
        check(not ann.shown_titled(text), "the note showed on ANN's screen too")

    if links:
        secured_links(run, store, ann, bob, links)
        return

    with run.step("BOB enlarges the note", bob):
        bob.note_command(shown, "e")
        shown = wait_for(lambda: next((w for w in bob.shown_titled(text)
                                       if w.geometry == (50, 50, 125, 125)), None),
                         UI_TIMEOUT, "the note to grow to 125 x 125 at (50, 50)")
        check_note_colour(bob, shown, GREEN, "enlarged-note")

    with run.step("BOB drags the note", bob):
        grab = (shown.x + 30, shown.y + 40)
        bob.desktop.drag(grab, (grab[0] + 300, grab[1] + 250))
        shown = wait_for(lambda: next((w for w in bob.shown_titled(text)
                                       if (w.x, w.y) == (350, 300)), None),
                         UI_TIMEOUT, "the note to follow the mouse to (350, 300)")
        check((shown.width, shown.height) == (125, 125),
              f"the dragged note should keep its size: {shown.geometry}")
        check_note_colour(bob, shown, GREEN, "dragged-note")

    with run.step("BOB deletes the note: it goes half a second later, and its row", bob) as label:
        asked = bob.note_command(shown, "d")
        bob.wait_gone(shown, UI_TIMEOUT, "the deleted note to go")
        delay = time.monotonic() - asked
        run.figure(f"deletion: the note went {delay:.2f} s after Delete")
        check(delay >= 0.5, f"the note went after {delay:.2f} s; it should stay 500 ms")
        wait_for(lambda: not [n for n in store.notes() if n.text == text], UI_TIMEOUT,
                 "the note's row to leave the store")
        tooltip_reads(bob, "0 Vimos Active")

    # Two more notes wait in the store while BOB is away.
    with run.step("ANN sends two more notes", ann) as label:
        for number, (more_text, more_urgency) in enumerate(MORE_NOTES, start=1):
            write_note(ann, run, f"{label}-{number}", 1, more_text, more_urgency)
            wait_for_note(store, more_text)

    with run.step("BOB quits", bob):
        bob.tray_command("q")
        bob.wait_until_ended(QUIT_TIMEOUT)
        check(store.presence().get("BOB") == 0, f"BOB should be out: {store.presence()}")
        wait_for(lambda: bob.tray_icon() is None, UI_TIMEOUT, "BOB's tray icon to go")
        waiting = sorted(n.text for n in store.notes() if n.recipient == "BOB")
        check(waiting == sorted(t for t, _ in MORE_NOTES),
              f"both notes should wait in the store for BOB: {waiting}")

    with run.step("BOB starts again and both notes show", bob):
        bob.start()
        sign_in(bob, "BOB", new_user=False, bound=identity)
        tooltip_reads(bob, "2 Vimos Active")
        waiting = [n for n in store.notes() if n.recipient == "BOB"]
        notes = {n.text: wait_for(lambda: bob.shown_titled(n.text), UI_TIMEOUT,
                                  f"the note {n.text!r}")[0] for n in waiting}
        for stored in waiting:
            window = notes[stored.text]
            check_note_colour(bob, window, URGENCY_COLOURS[stored.urgency], f"note-{stored.key}",
                              others=[w for w in notes.values() if w != window])
        places = sorted((w.x, w.y, w.width, w.height) for w in notes.values())
        check(places == [(50, 50, 100, 100), (60, 60, 100, 100)],
              f"the notes should open at (50, 50) and (60, 60): {places}")
        urgent_mark_reads(bob, True, "urgent-mark")

    with run.step("BOB drags the upper note aside: the one under it shows whole again", bob):
        upper_text, upper = max(notes.items(), key=lambda item: (item[1].x, item[1].y))
        lower_text, lower = min(notes.items(), key=lambda item: (item[1].x, item[1].y))
        grab = (upper.x + 60, upper.y + 70)
        bob.desktop.drag(grab, (grab[0] + 300, grab[1] + 200))
        upper = wait_for(lambda: next((w for w in bob.shown_titled(upper_text)
                                       if (w.x, w.y) == (upper.x + 300, upper.y + 200)), None),
                         UI_TIMEOUT, "the upper note to follow the mouse")
        # A note keeps no image of itself between paints: what was covered is painted anew.
        urgency = next(n.urgency for n in waiting if n.text == lower_text)
        check_note_colour(bob, lower, URGENCY_COLOURS[urgency], "uncovered-note", others=[upper])
        notes[upper_text] = upper
        # The upper note is the red one, sent last: dragged, it has been seen.
        check(upper_text == MORE_NOTES[-1][0],
              f"the upper note should be the red one: {upper_text}")
        urgent_mark_reads(bob, False, "no-urgent-mark")

    with run.step("BOB rests the pointer on ANN's red note: its tip names her", bob):
        red_text = next(t for t, u in MORE_NOTES if u == 3)
        red = notes[red_text]
        before = {w.id for w in bob.shown()}
        bob.desktop.move(red.x + 50, red.y + 50)
        # A tip is a small window of the program's own, just below the pointer.
        tip = bob.new_window(before, "the note's tip", UI_TIMEOUT,
                             where=lambda w: w.height < 40 and w.y > red.y + 40
                             and w.y < red.y + 120)
        check(tip.width > 100, f"the tip should be wide enough for a name and a day: {tip}")

    with run.step("BOB replies to ANN's red note", bob) as label:
        bob.desktop.move(*bob.RESTING_PLACE)
        bob.wait_gone(tip, UI_TIMEOUT, "the note's tip to go")
        before = {w.id for w in bob.shown()}
        bob.note_command(notes[red_text], "r")
        compose = bob.new_window(before, 'the "New Vimo" dialog', UI_TIMEOUT,
                                 where=lambda w: w.title == "New Vimo")
        bob.wait_focused(compose)
        # The keyboard is in the text box already, the sender in "Send To".
        bob.desktop.type(REPLY[0])
        send_note(bob, run, label, compose, REPLY[1])
        reply = wait_for_note(store, REPLY[0])
        check((reply.recipient, reply.sender, reply.urgency) == ("ANN", "BOB", REPLY[1]),
              f"the reply should go from BOB to ANN with urgency {REPLY[1]}: {reply}")

    with run.step("the reply opens on ANN's screen", ann):
        shown = wait_for(lambda: ann.shown_titled(REPLY[0]), DELIVERY_LIMIT + 5,
                         f"the reply {REPLY[0]!r} on ANN's screen")[0]
        check_note_colour(ann, shown, URGENCY_COLOURS[REPLY[1]], "reply")

    with run.step("ANN opens Sent Vimos: one note deleted, two on screen", ann):
        before = {w.id for w in ann.shown()}
        ann.tray_command("t")
        listing = ann.new_window(before, 'the "Sent Vimos" window', UI_TIMEOUT,
                                 where=lambda w: w.title == "Sent Vimos")
        ann.wait_focused(listing)
        receipts = {r.text: r for r in store.receipts("ANN")}
        check(sorted(receipts) == sorted([FIRST_NOTE[0]] + [t for t, _ in MORE_NOTES]),
              f"ANN's receipts should be her three notes: {sorted(receipts)}")
        check(receipts[FIRST_NOTE[0]].shown and receipts[FIRST_NOTE[0]].deleted,
              f"the first note should be shown and deleted: {receipts[FIRST_NOTE[0]]}")
        for more_text, _ in MORE_NOTES:
            check(receipts[more_text].shown and not receipts[more_text].deleted,
                  f"{more_text!r} should be on screen: {receipts[more_text]}")
        # The shot shows the list once its caption is painted.
        wait_for(lambda: ann.screenshot(os.path.join(ann.scratch, "sent.png"))
                 .find_colour(listing, CAPTION_COLOUR),
                 UI_TIMEOUT, 'the caption of "Sent Vimos" painted')

    with run.step("ANN closes Sent Vimos", ann):
        ann.desktop.key("Escape")
        ann.wait_gone(listing, UI_TIMEOUT, 'the "Sent Vimos" window to close')

    with run.step("BOB hides all notes", bob):
        bob.tray_command("h")
        for window in notes.values():
            bob.wait_gone(window, UI_TIMEOUT, f"the note {window.title!r} to hide")
        tooltip_reads(bob, "2 Vimos Active")

    with run.step("BOB shows all notes", bob):
        bob.tray_command("s")
        for text, window in notes.items():
            wait_for(lambda: [w for w in bob.shown_titled(text) if w.geometry == window.geometry],
                     UI_TIMEOUT, f"the note {text!r} back at {window.geometry}")
        # A note keeps no image of itself between paints: shown again, it is painted anew.
        for stored in waiting:
            window = notes[stored.text]
            check_note_colour(bob, window, URGENCY_COLOURS[stored.urgency],
                              f"note-{stored.key}-shown-again",
                              others=[w for w in notes.values() if w != window])

    with run.step("ANN makes the group TEAM on the command line and writes to it", ann) as label:
        made = subprocess.run([ann.program, "--group", "TEAM=BOB"], env=ann.environment,
                              capture_output=True, text=True, timeout=UI_TIMEOUT)
        check(made.returncode == 0 and made.stdout == "TEAM: BOB\n",
              f"vimo --group should make TEAM: {made.returncode} {made.stdout!r} {made.stderr!r}")
        before = {w.id for w in ann.shown()}
        ann.tray_command("n")
        compose = ann.new_window(before, 'the "New Vimo" dialog', UI_TIMEOUT,
                                 where=lambda w: w.title == "New Vimo")
        ann.wait_focused(compose)
        ann.desktop.type("TEAM")
        ann.desktop.key("Tab")
        ann.desktop.type(GROUP_NOTE[0])
        send_note(ann, run, label, compose, GROUP_NOTE[1])
        note = wait_for_note(store, GROUP_NOTE[0])
        check((note.recipient, note.sender) == ("BOB", "ANN"),
              f"the note to TEAM should reach BOB alone: {note}")

    # A note ANN's copy keeps for later, two minutes ahead: BOB's copy brings it at its time.
    due = int(time.time()) + 120
    store.plant_later("ANN", "BOB", LATER_NOTE, due)
    with run.step("BOB deletes the note to TEAM and brings it back from Deleted Vimos", bob):
        shown = wait_for(lambda: bob.shown_titled(GROUP_NOTE[0]), DELIVERY_LIMIT + 5,
                         f"the note {GROUP_NOTE[0]!r} on BOB's screen")[0]
        bob.note_command(shown, "d")
        bob.wait_gone(shown, UI_TIMEOUT, "the deleted note to go")
        wait_for(lambda: not [n for n in store.notes() if n.text == GROUP_NOTE[0]], UI_TIMEOUT,
                 "the deleted note's row to leave the store")
        # A click on the tray while the Undo balloon shows would undo it there and then.
        time.sleep(UNDO_OFFER + 1)
        before = {w.id for w in bob.shown()}
        bob.tray_command("d")
        listing = bob.new_window(before, 'the "Deleted Vimos" window', UI_TIMEOUT,
                                 where=lambda w: w.title == "Deleted Vimos")
        bob.wait_focused(listing)
        bob.desktop.key("Return")
        wait_for(lambda: bob.shown_titled(GROUP_NOTE[0]), DELIVERY_LIMIT + 5,
                 "the restored note on BOB's screen")
        check(len([n for n in store.notes() if n.text == GROUP_NOTE[0]]) == 1,
              f"the restored note should be in the store once: {store.notes()}")
        bob.desktop.key("Escape")

    with run.step("the note for later opens on BOB's screen at its time, not before", bob):
        wait_for(lambda: bob.shown_titled(LATER_NOTE), due - time.time() + DELIVERY_LIMIT + 5,
                 f"the note for later {LATER_NOTE!r} on BOB's screen")
        check(time.time() >= due, f"the note for later came {due - time.time():.0f} s early")
        check(len([n for n in store.notes() if n.text == LATER_NOTE]) == 1,
              f"the note for later should be in the store once: {store.notes()}")

    with run.step("both quit; the notes stay in the store", bob, ann):
        for station in (bob, ann):
            station.tray_command("q")
        for station in (bob, ann):
            station.wait_until_ended(QUIT_TIMEOUT)
        check(len([n for n in store.notes() if n.sender != "CAT"]) == len(MORE_NOTES) + 3,
              f"quitting must keep the notes and the reply: {store.notes()}")

    if identity:
        with run.step("EVE at ANN's desk tries BOB's name: she is EVE and sees nothing", ann):
            use_role(ann, store, "EVE")
            ann.start()
            sign_in(ann, "BOB", new_user=True, bound=True)
            tooltip_reads(ann, "0 Vimos Active")
            check(store.users() == ["ANN", "BOB", "EVE"],
                  f"EVE should have added herself alone: {store.users()}")
            ann.tray_command("q")
            ann.wait_until_ended(QUIT_TIMEOUT)


def secured_links(run, store, ann, bob, links):
    """In place of the rest of the day: the server's views show how each link came in, and a
    copy that trusts another root is told so at once."""
    with run.step(f"both links of each copy came in by {links.what}", bob, ann):
        check_links(links, store, ("ANN", "BOB"), UI_TIMEOUT)

    with run.step("both quit", bob, ann):
        for station in (bob, ann):
            station.tray_command("q")
        for station in (bob, ann):
            station.wait_until_ended(QUIT_TIMEOUT)

    if isinstance(links, TlsLinks):
        with run.step("ANN's copy trusts another root: the start says so at once", ann) as label:
            # Well before the minute that the start waits quietly for a server that is down.
            shown = refused_for_another_root(links, store, ann, UI_TIMEOUT,
                                             lambda: run.shot(f"{label}-refusal", ann))
            run.figure(f"refusal: the box showed {shown:.1f} s after the start")


def use_role(station, store, role, links=None):
    """The workstation's data source names the role; its password waits in ~/.pgpass, unless
    the links sign in by a ticket."""
    host = links.host if links else "127.0.0.1"
    with open(station.odbc_ini, "w") as odbc_ini:
        odbc_ini.write(store.data_source(role, host, links.keys(role) if links else None))
    if role in store.PASSWORDS and (links is None or links.passwords):
        pgpass = os.path.join(station.environment["HOME"], ".pgpass")
        with open(os.open(pgpass, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), "w") as out:
            out.write(store.pgpass(role, host))
    if links:
        links.ready(station, role)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--store", choices=("sqlite", "postgres"), required=True)
    parser.add_argument("--program", required=True, help="the program's executable")
    parser.add_argument("--odbcinst-entry", required=True, help="the build's driver entry")
    parser.add_argument("--psqlodbc", required=True, help="the PostgreSQL ANSI ODBC driver")
    parser.add_argument("--desktop-fixture", required=True)
    parser.add_argument("--displays", type=int, nargs=2, required=True, metavar="N")
    parser.add_argument("--work", required=True, help="a folder for the workstations")
    parser.add_argument("--artifacts", required=True, help="where the screenshots go")
    parser.add_argument("--pg-port", default=os.environ.get("VIMO_TEST_PG_PORT"))
    parser.add_argument("--identity", action="store_true",
                        help="PostgreSQL with row-level security, each colleague their own role")
    secured = parser.add_mutually_exclusive_group()
    secured.add_argument("--tls", metavar="FOLDER",
                         help="links verified against FOLDER/ca.crt, with channel binding")
    secured.add_argument("--kerberos", metavar="FOLDER",
                         help="links signed in by tickets of the realm in FOLDER only")
    args = parser.parse_args()

    remove_tree(args.work)
    remove_tree(args.artifacts)
    os.makedirs(args.artifacts)
    print(f"e2e: screenshots in {args.artifacts}", flush=True)

    stations = []
    for name, number in zip(("bob", "ann"), args.displays):
        root = os.path.join(args.work, name)
        desktop = Desktop(number, os.path.join(root, "desktop"), args.desktop_fixture)
        station = Workstation(name, desktop, root, args.program, args.odbcinst_entry,
                              args.psqlodbc)
        stations.append(station)
    bob, ann = stations

    if args.store == "sqlite":
        shared = os.path.join(args.work, "shared")
        os.makedirs(shared)
        data_file = os.path.join(shared, "office.vmo")
        store = SqliteStore(data_file)
    else:
        if not args.pg_port:
            parser.error("--pg-port or VIMO_TEST_PG_PORT is needed for PostgreSQL")
        data_file = None
        store = PostgresStore(args.pg_port, f"vimo_e2e_{os.getpid()}", args.identity)
    links = (TlsLinks(args.tls) if args.tls else KerberosLinks(args.kerberos) if args.kerberos
             else None)

    run = Run(args.artifacts, stations)
    started = time.monotonic()
    try:
        for station in stations:
            station.desktop.start()
        if store.kind == "postgres":
            store.create()
            for station in stations:
                use_role(station, store, station.name.upper() if args.identity else "postgres",
                         links)
        scenario(run, store, ann, bob, data_file, links)
    except ScenarioFailed as failure:
        print(f"e2e: FAILED: {failure}", flush=True)
        for shot in failure.shots:
            print(f"e2e:   screenshot: {shot}")
        for station in stations:
            print(f"e2e:   {station.name}'s program said:\n{station.log_tail()}")
        return 1
    finally:
        for station in stations:
            station.kill()
            station.desktop.stop()
        store.remove()
    print(f"e2e: passed on {store.kind} in {time.monotonic() - started:.0f} s: "
          + "; ".join(run.figures))
    print(f"e2e: screenshots in {args.artifacts}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
