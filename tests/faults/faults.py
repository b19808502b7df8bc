#!/usr/bin/env python3
"""The faults a shared store meets every week, one after another, under two copies of the
program running on virtual desktops of their own: BOB receives and deletes, ANN writes. For
each fault: nothing lost, nothing doubled, nothing deleted that the user did not delete, what
each user was shown (alerts, the tray's tooltip and icon), recovery without a restart, and
the longest time each desktop stood still. Prints one table and saves it in the work folder.
Runs as root: it mounts, fills and locks the share, and stops and freezes its own server."""

import argparse
import os
import shutil
import sqlite3
import sys
import time
import traceback
from collections import Counter
from contextlib import contextmanager
from dataclasses import dataclass, field

from cluster_faults import ClusterFaults
from harness.copies import (ACTIVE_TIP, CANCEL_BUTTON, OUTAGE_TIP, SEND_BUTTON, SIGN_IN_TITLE,
                            Copy)
from harness.desktop import Desktop, StepFailure, remove_tree, wait_for
from harness.injectors import FileLock, PostgresServer, Share, backup, remove_path, set_immutable
from harness.pgproxy import CutAfterInsertProxy
from harness.stores import PostgresStore, SqliteStore

POLL = 20.0
# A poll comes within one period; it may wait out the file's busy time (5 s) on a busy machine.
WITHIN_A_POLL = POLL + 10
UI = 30


class CheckFailed(Exception):
    """The program did not do what a user may expect."""


class HarnessFailed(Exception):
    """The run itself could not do what it meant to (a fault not made, a window not found)."""


@dataclass
class Entry:
    text: str
    recipient: str
    wanted: bool = True       # should be in the store now
    ever_stored: bool = False
    copies: int = 1           # rows with its text the run knows of


class Ledger:
    """Every note of the run and whether it should be in the store."""

    def __init__(self, store):
        self.store = store
        self.entries = {}

    def add(self, text, recipient):
        self.entries[text] = Entry(text, recipient)

    def deleted(self, text):
        self.entries[text].wanted = False

    def audit(self):
        """What went wrong in the store since the last audit: notes lost (never stored),
        deleted though wanted, stored twice (or unknown to the run), and deleted by the
        user yet still there. The ledger then takes the store as it is."""
        counts = Counter(n.text for n in self.store.notes())
        lost, unasked, doubled, undeleted = [], [], [], []
        for entry in self.entries.values():
            found = counts.get(entry.text, 0)
            if entry.wanted and found == 0:
                (unasked if entry.ever_stored else lost).append(entry.text)
            if not entry.wanted and found and entry.ever_stored:
                undeleted.append(entry.text)
            if found > entry.copies:
                doubled.append(entry.text)
            entry.ever_stored |= found > 0
            entry.wanted = found > 0
            entry.copies = max(found, 1)
        for text, found in counts.items():
            if text not in self.entries:
                doubled.append(text)
                self.entries[text] = Entry(text, "?", True, True, found)
        return lost, unasked, doubled, undeleted


@dataclass
class Outcome:
    store: str
    fault: str
    started: float = 0.0
    ended: float = 0.0
    program: list = field(default_factory=list)   # what the program did wrong
    harness: list = field(default_factory=list)   # what the run could not do
    lost: int = 0
    doubled: int = 0
    unasked: int = 0
    told: dict = field(default_factory=dict)      # copy -> what it showed
    recovery: dict = field(default_factory=dict)  # copy -> seconds, or a text
    lifted: float = 0.0  # when the fault ended
    outage_seen: set = field(default_factory=set)  # copies whose tray said so
    stall: dict = field(default_factory=dict)     # copy -> ms
    confirmed: int = 0  # notes whose sender was told they were stored
    figures: dict = field(default_factory=dict)   # column -> what it measured

    def check(self, condition, message):
        if not condition:
            self.program.append(message)
            print(f"faults:   PROGRAM: {message}", flush=True)
        return condition


class Run(ClusterFaults):
    ledger_class = Ledger

    def __init__(self, args):
        self.args = args
        self.kind = args.store
        self.outcomes = []
        self.current = None
        self.serial = 0

    # Set-up

    def make_copies(self):
        self.bob, self.ann = [
            Copy(name, Desktop(number, os.path.join(self.args.work, name, "desktop"),
                               self.args.desktop_fixture),
                 os.path.join(self.args.work, name), self.args.program,
                 self.args.odbcinst_entry, self.args.psqlodbc)
            for name, number in zip(("bob", "ann"), self.args.displays)]
        self.copies = (self.bob, self.ann)

    def start_copies(self, *arguments):
        for copy in self.copies:
            copy.desktop.start()
        for copy, user in ((self.bob, "BOB"), (self.ann, "ANN")):
            copy.start(*arguments)
            copy.sign_in(user)
        for copy in self.copies:
            wait_for(lambda: copy.tooltip() is not None and ACTIVE_TIP.match(copy.tooltip()),
                     UI, f"{copy.name}'s tooltip")
            copy.normal_icon = copy.icon_pixels()

    def stop_copies(self):
        for copy in self.copies:
            copy.kill()
            copy.desktop.stop()

    # The store behind the program's back

    def note_text(self, tag):
        self.serial += 1
        return f"{tag} {self.serial}"

    def insert(self, recipient, texts, sender="CAT"):
        """Notes another user posts, with the program's next-key rule."""
        stamp = int(time.strftime("%Y%m%d"))
        if self.kind == "sqlite":
            with sqlite3.connect(self.data_file, timeout=20) as db:
                for text in texts:
                    db.execute("INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,URGENCY) "
                               "SELECT ?,?,?,?,COALESCE(MAX(TKEY),0)+1,1 FROM MSGS",
                               (text, recipient, sender, stamp))
            db.close()
        else:
            values = ";".join(
                "INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,URGENCY) SELECT "
                f"'{t}','{recipient}','{sender}',{stamp},COALESCE(MAX(TKEY),0)+1,1 FROM MSGS"
                for t in texts)
            self.store._psql(self.store.database, values)
        for text in texts:
            self.ledger.add(text, recipient)
            self.ledger.entries[text].ever_stored = True

    def notes(self):
        """The store's notes now, or None while the fault keeps the run out too."""
        try:
            return self.store.notes()
        except (sqlite3.Error, RuntimeError):
            return None

    def stored(self, text):
        """True or False, or None while the store cannot be read."""
        notes = self.notes()
        return None if notes is None else any(n.text == text for n in notes)

    def key_of(self, text):
        keys = [n.key for n in self.notes() or [] if n.text == text]
        return keys[0] if keys else None

    # Watching both copies while waiting

    def tend(self):
        """Closes any alert on either desktop, noting what it said."""
        for copy in self.copies:
            if copy.is_running():
                for alert in copy.dismiss_alerts():
                    kind = "answer" if alert.answer else "alert"
                    print(f"faults:   {copy.name} was told ({kind}): {alert.text!r}", flush=True)
        self.watch_outage()

    def wait(self, condition, timeout, interval=0.3):
        """Waits for condition while closing alerts; True when it came in time."""
        deadline = time.monotonic() + timeout
        while True:
            self.tend()
            value = condition()
            if value:
                return value
            if time.monotonic() >= deadline:
                return False
            time.sleep(interval)

    def hold(self, seconds):
        """A fault held for a stated time, alerts closed meanwhile."""
        self.wait(lambda: False, seconds)

    # What a user does and sees

    def post(self, copy, recipient, text, dialog=None):
        """Sends a note through the compose dialog (opened and written here unless dialog is
        given); returns "stored" or "refused". A refused note's dialog must come back."""
        if dialog is None:
            dialog = self.write(copy, recipient, text)
        copy.expect_answer()
        answers = len([a for a in copy.alerts if a.answer])
        copy.press(dialog, SEND_BUTTON)
        return self.sent(copy, text, answers)

    def write(self, copy, recipient, text):
        """Opens the compose dialog and writes the note; it counts as posted once stored."""
        dialog = copy.compose(recipient, text)
        if text not in self.ledger.entries:
            self.ledger.add(text, recipient)
            self.ledger.entries[text].wanted = False
        return dialog

    def sent(self, copy, text, answers, timeout=60):
        """What came of a Send: "stored" when the dialog went, the row came and no alert
        followed; "refused" when an alert came, and then the dialog must come back."""
        stored_at = []

        def settled():
            if len([a for a in copy.alerts if a.answer]) > answers:
                return "refused"
            if copy.compose_dialog() is None and self.stored(text):
                stored_at.append(time.monotonic())
                return "stored" if stored_at[-1] - stored_at[0] >= 2 else None
            return None
        result = self.wait(settled, timeout, interval=0.5)
        if not result:
            raise CheckFailed(f"{copy.name}'s note {text!r} was neither stored nor refused "
                              f"within {timeout} s")
        if result == "stored":
            self.ledger.entries[text].wanted = True
            return result
        said = [a.text for a in copy.alerts if a.answer][-1]
        self.current.check("User name must be Valid" not in said,
                           f"{copy.name}'s refused post said the addressee is unknown: {said!r}")
        back = self.wait(copy.compose_dialog, UI)
        if not back:
            raise CheckFailed(f"{copy.name}'s compose dialog did not come back after the "
                              "refusal: the note is gone")
        return result

    def says_unreachable(self, copy, result):
        """A post refused because the store is out of reach must say so."""
        if result == "refused":
            said = [a.text for a in copy.alerts if a.answer][-1]
            self.current.check("cannot be reached" in said,
                               f"{copy.name}'s refused post said {said!r}")

    def post_until_stored(self, copy, recipient, text, first_result, tries=3):
        """A user whose note was refused sends it again once the store is back, a few times
        a few seconds apart, then gives up and cancels."""
        result = first_result
        for _ in range(tries):
            if result != "refused":
                break
            dialog = copy.compose_dialog()
            if dialog is None:
                break
            result = self.post(copy, recipient, text, dialog=dialog)
            if result == "refused":
                self.hold(3)
        if result == "refused":
            dialog = copy.compose_dialog()
            if dialog:
                copy.press(dialog, CANCEL_BUTTON)
            self.current.check(False, f"{copy.name} could not post {text!r} after the store "
                                      "came back")
        return result

    def delivered(self, copy, text, timeout=WITHIN_A_POLL):
        """Waits for the note on the copy's screen; True when it came (once)."""
        shown = self.wait(lambda: copy.note_windows({text}), timeout)
        if shown:
            copy.saw_poll_by(time.monotonic())
            if self.current.lifted and copy.name not in self.current.recovery:
                # Working again: the first note it shows after the fault.
                self.current.recovery[copy.name] = \
                    f"{time.monotonic() - self.current.lifted:.0f} s"
            self.current.check(len(shown) == 1, f"{text!r} shows {len(shown)} times on "
                                                f"{copy.name}'s screen")
        elif self.current.lifted and copy.name not in self.current.recovery:
            self.current.recovery[copy.name] = "no"
        return bool(shown)

    def delete(self, copy, text):
        """The user deletes the note on screen."""
        windows = copy.note_windows({text})
        if not windows:
            raise HarnessFailed(f"no note {text!r} on {copy.name}'s screen to delete")
        copy.expect_answer(10)
        # Notes overlap; the one to delete comes to the top first.
        copy.desktop.run("xdotool", "windowraise", str(windows[0].id))
        copy.note_command(windows[0], "d")
        copy.desktop.move(*copy.RESTING_PLACE)
        self.ledger.deleted(text)

    def settle_deletion(self, copy, text):
        """After a deletion during a fault: either the row went, or the note came back on
        screen, and then the user deletes it again."""
        def settled():
            if copy.note_windows({text}):
                return "back"
            if self.stored(text) is False:
                return "gone"
            return None
        result = self.wait(settled, WITHIN_A_POLL)
        self.current.check(bool(result), f"{text!r}, deleted by {copy.name}, neither left "
                                         "the store nor came back on screen")
        if result == "back":
            self.delete(copy, text)
            self.current.check(
                self.wait(lambda: self.stored(text) is False, UI),
                f"{text!r} deleted again by {copy.name} stays in the store")

    def later_and_restore(self, outage):
        """While outage() holds the store out, a note for later falls due and BOB restores a
        deleted note: BOB is told that the restore waits, and once the store is back each
        note shows once, whichever copy gets there first."""
        bob = self.bob
        restored = self.note_text("restored")
        self.insert("BOB", [restored])
        self.delivered(bob, restored)
        self.delete(bob, restored)
        self.current.check(self.wait(lambda: self.stored(restored) is False, UI),
                           f"{restored!r} deleted by bob stays in the store")
        # The list must be read before the store goes; a click on the tray while the Undo
        # balloon shows would undo the deletion there and then.
        self.hold(11)
        before = {w.id for w in bob.shown()}
        bob.tray_command("d")
        listing = bob.new_window(before, 'the "Deleted Vimos" window', UI,
                                 where=lambda w: w.title == "Deleted Vimos")
        later = self.note_text("later")
        due = time.time() + 5
        self.store.plant_later("ANN", "BOB", later, int(due))
        self.ledger.add(later, "BOB")
        with outage():
            bob.wait_focused(listing)
            bob.expect_answer(UI)
            bob.desktop.key("Return", "Escape")
            said = self.wait(lambda: [a.text for a in bob.alerts if a.answer], UI)
            self.current.check(said and "brought back when" in said[-1],
                               f"bob's restore during the outage said {said}")
            # Every copy's poll after the note's time fails.
            self.hold(max(0.0, due + POLL + 2 - time.time()))
        self.current.lifted = time.monotonic()
        self.ledger.entries[restored].wanted = True
        self.current.check(self.delivered(bob, restored), "bob's restore was lost")
        self.current.check(self.delivered(bob, later, timeout=2 * POLL + 10),
                           "the note for later never showed")
        self.recovered(bob)

    def outage_shown(self, copy, since, timeout=WITHIN_A_POLL):
        """The tray says the store cannot be reached, with the time of the first failed
        poll, and its icon is not the usual one. Returns what it showed."""
        tip = self.wait(lambda: (t := copy.tooltip()) and OUTAGE_TIP.match(t) and t, timeout)
        if not self.current.check(bool(tip), f"{copy.name}'s tray never said the store cannot "
                                             f"be reached (it read {copy.tooltip()!r})"):
            return "not told"
        hhmm = OUTAGE_TIP.match(tip)
        minutes = {time.strftime("%H:%M", time.localtime(t))
                   for t in (time.time() - (time.monotonic() - since), time.time())}
        self.current.check(f"{hhmm[1]}:{hhmm[2]}" in minutes or len(minutes) == 2,
                           f"{copy.name}'s outage time {hhmm[1]}:{hhmm[2]} is not the time of "
                           "the fault")
        icon = copy.icon_pixels()
        self.current.check(icon is not None and icon != copy.normal_icon,
                           f"{copy.name}'s tray icon did not change during the outage")
        self.current.outage_seen.add(copy.name)
        return "tray"

    def recovered(self, copy, timeout=WITHIN_A_POLL):
        """The tray says the notes again, and shows the usual icon."""
        if copy.name not in self.current.outage_seen:
            return  # it never said there was an outage; its notes tell whether it works
        ok = self.wait(lambda: (t := copy.tooltip()) and ACTIVE_TIP.match(t), timeout)
        took = time.monotonic() - self.current.lifted
        if self.current.check(bool(ok), f"{copy.name}'s tray still reads {copy.tooltip()!r} "
                                        f"{took:.0f} s after the store came back"):
            icon = copy.icon_pixels()
            self.current.check(icon == copy.normal_icon or in_colour(icon),
                               f"{copy.name}'s tray icon did not come back")
            self.current.recovery[copy.name] = f"{took:.0f} s"
        else:
            self.current.recovery[copy.name] = "no"

    def await_poll(self, copy, lead):
        """Waits until lead seconds before the copy's next poll."""
        moment = copy.next_poll(time.monotonic() + lead) - lead
        self.hold(max(0.0, moment - time.monotonic()))

    # One fault

    @contextmanager
    def fault(self, name):
        outcome = Outcome(self.kind, name, started=time.monotonic())
        self.current = outcome
        for copy in self.copies:
            copy.alerts = []
        print(f"faults: {self.kind}: {name}", flush=True)
        try:
            yield outcome
        except CheckFailed as failure:
            outcome.program.append(str(failure))
            print(f"faults:   PROGRAM: {failure}", flush=True)
        except Exception as failure:  # noqa: BLE001 - every other failure is the run's own
            detail = str(failure) if isinstance(failure, (StepFailure, HarnessFailed)) \
                else traceback.format_exc()
            outcome.harness.append(detail)
            print(f"faults:   HARNESS: {detail}", flush=True)
        if outcome.program or outcome.harness:
            for copy in self.copies:
                shot = os.path.join(self.args.work, f"{_slug(name)}-{copy.name}.png")
                try:
                    copy.screenshot(shot)
                    print(f"faults:   screenshot: {shot}", flush=True)
                except Exception:  # noqa: BLE001 - the display itself may be the trouble
                    pass
        try:
            self.wait(lambda: True, 0)
        except Exception as failure:  # noqa: BLE001
            outcome.harness.append(f"closing alerts: {failure}")
        outcome.ended = time.monotonic()
        self.absorb_posts(outcome)
        lost, unasked, doubled, undeleted = self.ledger.audit()
        outcome.lost, outcome.unasked, outcome.doubled = len(lost), len(unasked), len(doubled)
        outcome.check(not lost, f"lost: {lost}")
        outcome.check(not unasked, f"deleted though nobody deleted them: {unasked}")
        outcome.check(not doubled, f"doubled or unknown rows: {doubled}")
        outcome.check(not undeleted, f"deleted by the user yet still stored: {undeleted}")
        for copy in self.copies:
            unasked_alerts = [a.text for a in copy.alerts if not a.answer]
            answers = [a.text for a in copy.alerts if a.answer]
            outcome.check(len(unasked_alerts) <= 1,
                          f"{copy.name} got {len(unasked_alerts)} alerts of its own: "
                          f"{unasked_alerts}")
            shown = outcome.told.get(copy.name, "")
            said = Counter(_short(t) for t in answers)
            parts = [p for p in (shown, f"{len(unasked_alerts)} alert" if unasked_alerts else "",
                                 "; ".join(f"{n}x \"{t}\"" for t, n in said.items())) if p]
            outcome.told[copy.name] = ", ".join(parts) or "nothing"
            outcome.stall[copy.name] = copy.stalls(outcome.started, outcome.ended)
        self.outcomes.append(outcome)
        print(f"faults:   {'passed' if not (outcome.program or outcome.harness) else 'FAILED'} "
              f"in {outcome.ended - outcome.started:.0f} s", flush=True)
        if outcome.program or outcome.harness:
            self.reset()

    def reset(self):
        """After a failed fault: both copies start afresh, so that the next fault finds them
        as a user would after a restart."""
        print("faults:   restarting both copies", flush=True)
        for copy in self.copies:
            copy.kill()
        for copy in self.copies:
            copy.start()
            copy.sign_in(copy.user)

    # The two sequences

    def sqlite(self):
        self.share = Share(os.path.join(self.args.work, "share.img"),
                           os.path.join(self.args.work, "share"))
        self.share.create()
        folder = os.path.join(self.share.mount_point, "office")
        os.makedirs(folder)
        self.data_file = os.path.join(folder, "office.vmo")
        self.store = SqliteStore(self.data_file)
        with sqlite3.connect(self.data_file) as db:
            for statement in PostgresStore.TABLES:
                db.execute(statement)
            db.executemany("INSERT INTO USRS (RECIPIENT) VALUES(?)",
                           [("ANN",), ("BOB",), ("CAT",)])
        db.close()
        self.ledger = Ledger(self.store)
        # Notes BOB will delete during faults, on his screen from the start.
        self.waiting = [self.note_text("waiting") for _ in range(3)]
        self.insert("BOB", self.waiting)
        try:
            # Each copy is pointed at the file once, from the command line, as a user does.
            self.start_copies(self.data_file)
            self.sqlite_faults()
        finally:
            self.stop_copies()
            for path in (self.data_file,):
                try:
                    set_immutable(path, False)
                except Exception:  # noqa: BLE001
                    pass
            self.share.unmount_all()

    def sqlite_faults(self):
        bob, ann = self.bob, self.ann

        with self.fault("share unmounted and mounted again"):
            text = self.note_text("unmounted")
            start = time.monotonic()
            self.share.take_away()
            try:
                result = self.post(ann, "BOB", text)
                self.says_unreachable(ann, result)
                self.current.told["bob"] = self.outage_shown(bob, start)
                self.current.told["ann"] = self.outage_shown(ann, start)
            finally:
                self.share.mount()
            self.current.lifted = time.monotonic()
            other = self.note_text("remounted from cat")
            self.insert("BOB", [other])
            if result == "refused":
                self.post_until_stored(ann, "BOB", text, result)
            self.current.check(self.delivered(bob, other), "bob never showed a note posted "
                               "after the share came back")
            self.delivered(bob, text, timeout=5)
            self.recovered(bob)
            self.recovered(ann)

        with self.fault("folder renamed away and back"):
            waiting = self.waiting.pop()
            text = self.note_text("renamed")
            away = os.path.join(self.share.mount_point, "office.away")
            os.rename(os.path.dirname(self.data_file), away)
            try:
                result = self.post(ann, "BOB", text)
                self.says_unreachable(ann, result)
                self.delete(bob, waiting)
                self.hold(2)
            finally:
                os.rename(away, os.path.dirname(self.data_file))
            self.current.lifted = time.monotonic()
            self.post_until_stored(ann, "BOB", text, result)
            self.settle_deletion(bob, waiting)
            self.delivered(bob, text)

        with self.fault("file deleted and restored from a copy"):
            text = self.note_text("restored")
            copy_path = os.path.join(self.args.work, "office-backup.vmo")
            remove_path(copy_path)
            backup(self.data_file, copy_path)
            os.remove(self.data_file)
            try:
                result = self.post(ann, "BOB", text)
                self.says_unreachable(ann, result)
            finally:
                shutil.copyfile(copy_path, self.data_file)
            self.current.lifted = time.monotonic()
            self.post_until_stored(ann, "BOB", text, result)
            other = self.note_text("restored from cat")
            self.insert("BOB", [other])
            self.current.check(self.delivered(bob, other), "bob never showed a note posted "
                               "to the restored file")
            self.current.check(self.delivered(bob, text, timeout=5),
                               "bob never showed ann's note")

        with self.fault("file made read-only"):
            waiting = self.waiting.pop()
            text = self.note_text("read-only")
            set_immutable(self.data_file, True)
            try:
                result = self.post(ann, "BOB", text)
                self.delete(bob, waiting)
                self.hold(2)
            finally:
                set_immutable(self.data_file, False)
            self.current.lifted = time.monotonic()
            self.post_until_stored(ann, "BOB", text, result)
            self.settle_deletion(bob, waiting)
            self.delivered(bob, text)

        with self.fault("file locked 10 s during a post and a poll"):
            waiting = self.note_text("locked waiting")
            self.insert("BOB", [waiting])
            text = self.note_text("locked")
            dialog = self.write(ann, "BOB", text)
            self.await_poll(bob, 1)
            lock = FileLock(self.data_file)
            lock.take()
            try:
                result = self.post(ann, "BOB", text, dialog=dialog)
                self.says_unreachable(ann, result)
                self.hold(max(0.0, 10 - (time.monotonic() - lock.taken_at)))
            finally:
                lock.release()
            self.current.lifted = time.monotonic()
            self.post_until_stored(ann, "BOB", text, result)
            self.delivered(bob, waiting)
            self.delivered(bob, text)

        with self.fault("file locked while a note for later falls due and a restore waits"):
            @contextmanager
            def locked():
                lock = FileLock(self.data_file)
                lock.take()
                try:
                    yield
                finally:
                    lock.release()
            self.later_and_restore(locked)

        with self.fault("file system full during a post and a delete"):
            waiting = self.waiting.pop()
            text = self.note_text("disk full")
            self.share.fill()
            try:
                result = self.post(ann, "BOB", text)
                self.delete(bob, waiting)
                self.hold(2)
            finally:
                self.share.unfill()
            self.current.lifted = time.monotonic()
            self.post_until_stored(ann, "BOB", text, result)
            self.settle_deletion(bob, waiting)
            # The notes of the next fault, to open at BOB's next poll; not before the user is
            # done with the note above, so that 400 new windows do not come over its menu.
            self.insert("BOB", [self.note_text("many") for _ in range(400)])
            self.delivered(bob, text)

        with self.fault("file locked 30 s with 400 notes open"):
            expected = len([n for n in self.store.notes() if n.recipient == "BOB"])
            self.current.check(
                self.wait(lambda: bob.tooltip() == f"{expected} Vimos Active", WITHIN_A_POLL),
                f"bob did not open all {expected} notes: {bob.tooltip()!r}")
            late = self.note_text("late")
            self.insert("BOB", [late])
            # 30 s hold at least one poll, and its busy waits.
            lock = FileLock(self.data_file)
            lock.take()
            start = lock.taken_at
            try:
                text = self.note_text("locked long")
                result = self.post(ann, "BOB", text)
                self.says_unreachable(ann, result)
                self.current.told["bob"] = self.outage_shown(bob, start, timeout=28)
                self.hold(max(0.0, 30 - (time.monotonic() - start)))
            finally:
                lock.release()
            self.current.lifted = time.monotonic()
            self.post_until_stored(ann, "BOB", text, result)
            self.delivered(bob, late)
            self.delivered(bob, text)
            self.recovered(bob)
            shown = [w.title for w in bob.shown() if w.title.startswith(("many", "late", "locked"))]
            self.current.check(len(shown) == len(set(shown)), "a note shows twice on bob's screen")
            self.current.check(bob.tooltip() == f"{expected + 2} Vimos Active",
                               f"bob's tray reads {bob.tooltip()!r}, not {expected + 2} notes")

    def postgres(self):
        server = PostgresServer(self.args.pg_fixture, self.args.pg_dir, self.args.pg_port)
        self.server = server
        server.create()
        self.store = PostgresStore(self.args.pg_port, "vimo_faults")
        self.store.create()
        self.store._psql(self.store.database,
                         "INSERT INTO USRS VALUES('ANN');INSERT INTO USRS VALUES('BOB');"
                         "INSERT INTO USRS VALUES('CAT')")
        self.ledger = Ledger(self.store)
        self.proxy = CutAfterInsertProxy(self.args.proxy_port, self.args.pg_port)
        # BOB reaches the server directly, ANN through the proxy that can cut her link.
        for copy, port in ((self.bob, self.args.pg_port), (self.ann, self.args.proxy_port)):
            with open(copy.odbc_ini, "w") as odbc_ini:
                odbc_ini.write(PostgresStore(port, self.store.database).data_source())
        try:
            self.start_copies()
            self.postgres_faults()
        finally:
            self.stop_copies()
            self.proxy.close()
            server.remove()

    def postgres_faults(self):
        bob, ann, server = self.bob, self.ann, self.server

        with self.fault("server restarted"):
            text = self.note_text("restart")
            server.restart()
            self.current.lifted = time.monotonic()
            result = self.post(ann, "BOB", text)
            self.current.check(result == "stored", "ann's post right after the restart was "
                                                   "refused")
            self.post_until_stored(ann, "BOB", text, result)
            self.delivered(bob, text)

        with self.fault("server stopped for 60 s"):
            waiting = [n.text for n in self.store.notes() if n.recipient == "BOB"][0]
            with open(ann.odbc_ini) as odbc_ini:
                data_source = odbc_ini.read()
            server.stop()
            start = time.monotonic()
            try:
                text = self.note_text("stopped")
                result = self.post(ann, "BOB", text)
                if self.current.check(result == "refused", "ann's post with the server down "
                                                           "was not refused"):
                    self.says_unreachable(ann, result)
                    ann.press(ann.compose_dialog(), CANCEL_BUTTON)
                self.delete(bob, waiting)
                self.current.told["bob"] = self.outage_shown(bob, start)
                self.current.told["ann"] = self.outage_shown(ann, start)
                # ANN starts again while the server is down, as at a login before the server
                # is up: no question, her data source untouched, and she gets in when it
                # comes back.
                ann.quit()
                ann.start()
                questions = self.wait(lambda: [w for w in ann.shown() if w.title in
                                               ("Vimo", SIGN_IN_TITLE)], 8)
                self.current.check(not questions, "ann's start with the server down asked "
                                                  f"{[w.title for w in questions or []]}")
                self.hold(max(0.0, 60 - (time.monotonic() - start)))
            finally:
                server.start()
            self.current.lifted = time.monotonic()
            with open(ann.odbc_ini) as odbc_ini:
                self.current.check(odbc_ini.read() == data_source,
                                   "ann's data source was changed")
            try:
                ann.sign_in("ANN")
                self.current.recovery["ann"] = \
                    f"signed in {time.monotonic() - self.current.lifted:.0f} s later"
            except StepFailure:
                self.current.check(False, "ann's start never went on when the server came back")
                ann.restart()
            # Her note and BOB's recovery come with his next poll.
            result = self.post(ann, "BOB", text)
            self.post_until_stored(ann, "BOB", text, result)
            self.recovered(bob)
            self.settle_deletion(bob, waiting)
            self.delivered(bob, text)

        with self.fault("server frozen (SIGSTOP) for 30 s"):
            text = self.note_text("frozen")
            dialog = self.write(ann, "BOB", text)
            # 30 s hold at least one of BOB's polls.
            server.freeze()
            start = time.monotonic()
            try:
                ann.expect_answer()
                ann.press(dialog, SEND_BUTTON)
                self.hold(30)
            finally:
                server.thaw()
            self.current.lifted = time.monotonic()
            result = self.sent(ann, text, 0)
            self.post_until_stored(ann, "BOB", text, result)
            self.delivered(bob, text)
            self.recovered(bob)

        with self.fault("link cut after the insert was committed"):
            text = self.note_text("cut")
            self.proxy.arm()
            result = self.post(ann, "BOB", text)
            self.current.lifted = time.monotonic()
            self.current.check(self.proxy.cut.is_set(), "the proxy never cut the link")
            self.post_until_stored(ann, "BOB", text, result)
            self.delivered(bob, text)

        with self.fault("server stopped while a note for later falls due and a restore waits"):
            @contextmanager
            def stopped():
                server.stop()
                try:
                    yield
                finally:
                    server.start()
            self.later_and_restore(stopped)

        with self.fault("same user on two copies"):
            # ANN's workstation: BOB signs in there too.
            ann.quit()
            ann.start()
            ann.sign_in("BOB")
            first = self.note_text("same user first")
            self.insert("BOB", [first])
            self.delivered(bob, first)
            self.delivered(ann, first)
            key = self.key_of(first)
            self.delete(bob, first)
            self.wait(lambda: self.key_of(first) is None, UI)
            second = self.note_text("same user second")
            self.insert("BOB", [second])
            self.current.told["ann"] = ("BOB's second copy; the new note took the deleted "
                                        "one's key" if self.key_of(second) == key else
                                        "BOB's second copy; a new key")
            stale = ann.note_windows({first})
            if stale:
                # The other copy still shows the first note; its user deletes it.
                self.delete(ann, first)
                self.hold(2)
            self.current.check(self.delivered(ann, second), "the second copy never showed "
                               "the new note")
            self.current.check(not ann.note_windows({first}), "the second copy still shows "
                               "the deleted note")
            self.delivered(bob, second, timeout=5)

    # The table

    def table(self):
        rows = ["| store | fault | lost | doubled | deleted unasked | BOB was shown | "
                "ANN was shown | recovered without restart | longest stall (ms) BOB / ANN | "
                "result |",
                "|---|---|---:|---:|---:|---|---|---|---:|---|"]
        for o in self.outcomes:
            result = "pass" if not (o.program or o.harness) else \
                "FAIL (harness): " + o.harness[0][:120] if o.harness and not o.program else \
                "FAIL: " + "; ".join(o.program)[:200]
            recovery = ", ".join(f"{k} {v}" for k, v in o.recovery.items()) or "-"
            rows.append(f"| {o.store} | {o.fault} | {o.lost} | {o.doubled} | {o.unasked} | "
                        f"{o.told.get('bob', '')} | {o.told.get('ann', '')} | {recovery} | "
                        f"{o.stall.get('bob', 0)} / {o.stall.get('ann', 0)} | {result} |")
        return "\n".join(rows)


def in_colour(pixels):
    """True for an icon that is not the greyed one of an outage. The usual icon may carry the
    red mark of an untouched red note by now, which the start's picture did not."""
    return bool(pixels) and any(max(pixels[i:i + 3]) - min(pixels[i:i + 3]) > 60
                                for i in range(0, len(pixels) - 2, 3))


def _slug(text):
    return "-".join("".join(c if c.isalnum() else " " for c in text.lower()).split())


def _short(text):
    text = " ".join(text.split())
    # A refused statement's alert: what the driver said counts, not the statement.
    if "[Error" in text:
        text = text[text.index("[Error"):]
    return text if len(text) <= 50 else text[:47] + "..."


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--store", choices=("sqlite", "postgres", "cluster"), required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--odbcinst-entry", required=True)
    parser.add_argument("--psqlodbc", required=True)
    parser.add_argument("--desktop-fixture", required=True)
    parser.add_argument("--pg-fixture", required=True)
    parser.add_argument("--displays", type=int, nargs=2, required=True, metavar="N")
    parser.add_argument("--ports", type=int, nargs=2, metavar=("SERVER", "PROXY"),
                        help="PostgreSQL: the suite's own server and the cutting proxy")
    parser.add_argument("--cluster-ports", type=int, help="the cluster's first port of 30")
    parser.add_argument("--nodes", type=int, default=3, choices=(2, 3))
    parser.add_argument("--short", action="store_true", help="the cluster's CI cases only")
    parser.add_argument("--poster", help="vimo_bench_stress, which posts in a loop")
    parser.add_argument("--work", required=True)
    parser.add_argument("--table", required=True, help="where the table goes (Markdown)")
    args = parser.parse_args()
    if os.geteuid() != 0 and args.store != "cluster":
        print("faults: needs root (mounts, chattr, a server to stop and freeze); skipped")
        return 77
    if args.store == "postgres":
        if not args.ports:
            parser.error("--ports is needed for PostgreSQL")
        args.pg_port, args.proxy_port = args.ports
        args.pg_dir = os.path.join(args.work, "server")

    remove_tree(args.work)
    os.makedirs(args.work)
    run = Run(args)
    run.make_copies()
    started = time.monotonic()
    try:
        getattr(run, args.store)()
    except Exception:  # noqa: BLE001 - the set-up itself failed
        print(f"faults: HARNESS: set-up failed:\n{traceback.format_exc()}", flush=True)
        for copy in run.copies:
            print(f"faults:   {copy.name}'s program said:\n{copy.log_tail()}")
        return 1
    table = run.table() if args.store != "cluster" else f"{run.cluster_table()}\n\n{run.table()}"
    print(f"faults: {args.store}: {len(run.outcomes)} faults in "
          f"{time.monotonic() - started:.0f} s\n\n{table}\n", flush=True)
    with open(args.table, "w") as out:
        out.write(table + "\n")
    if args.store == "cluster":
        return 0 if all(not (o.program or o.harness) for o in run.outcomes) else 1
    # Both stores in one table, from the tables of the runs done so far.
    folder = os.path.dirname(os.path.abspath(args.table))
    rows = []
    for kind in ("sqlite", "postgres"):
        try:
            with open(os.path.join(folder, f"faults-{kind}.md")) as part:
                rows += part.read().splitlines()[2:]
        except OSError:
            pass
    with open(os.path.join(folder, "faults.md"), "w") as out:
        out.write("\n".join(table.splitlines()[:2] + rows) + "\n")
    return 0 if all(not (o.program or o.harness) for o in run.outcomes) else 1


if __name__ == "__main__":
    sys.exit(main())
