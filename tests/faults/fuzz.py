#!/usr/bin/env python3
"""Hostile rows (bytes, markup, control characters, NULLs, keys at the edges of 64 bits)
written straight into a data file while a copy polls, shows, hovers and lists them. Passes
when the copy still runs, logged no sanitizer report and keeps every window on the screen.
  PYTHONPATH=tests python3 tests/faults/fuzz.py --program VIMO --odbcinst-entry INI
      --psqlodbc SO --desktop-fixture SH --display N --work DIR [--seconds 60] [--seed N]"""

import argparse, os, random, shutil, sqlite3, sys, time  # noqa: E401

from harness.copies import Copy
from harness.desktop import Desktop, StepFailure
from harness.stores import PostgresStore

PIECES = ['<img src="/dev/zero">', "<B>EVE</B>", "<a href='file:///etc/passwd'>x</a>", "&lt;",
          "\u202e", "\x1b[2J", "a[*]b", "%s%n", "\r\n\t", "\0", "\U0001F600", "ANN", " "]
EDGES = [2**63 - 1, -2**63, 2**31 - 1, 2**31, -1, 0, None, "12abc", 1.5, 1, 2, 3, 20261207]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("--program", "--odbcinst-entry", "--psqlodbc", "--desktop-fixture", "--work"):
        parser.add_argument(option, required=True)
    parser.add_argument("--display", type=int, required=True)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    print(f"fuzz: seed {args.seed}, {args.seconds:g} s", flush=True)
    rng = random.Random(args.seed)
    text = lambda: rng.choice([None, rng.randbytes(rng.randrange(1, 300)),  # noqa: E731
                               "x" * 10000, "".join(rng.choices(PIECES, k=rng.randrange(1, 8)))])
    name = lambda: "ANN" if rng.random() < 0.7 else text()  # noqa: E731

    shutil.rmtree(args.work, ignore_errors=True)
    root, path = os.path.join(args.work, "ann"), os.path.join(args.work, "office.vmo")
    copy = Copy("ann", Desktop(args.display, os.path.join(root, "desktop"), args.desktop_fixture),
                root, os.path.abspath(args.program), args.odbcinst_entry, args.psqlodbc)
    with open(copy.odbc_ini, "w") as odbc_ini:
        odbc_ini.write(f"[VIMO]\nDriver=Vimo SQLite\nDatabase={path}\nNoCreat=1\n")
    with sqlite3.connect(path) as db:
        for statement in PostgresStore.TABLES + ("INSERT INTO USRS VALUES('ANN')",):
            db.execute(statement)

    def write(count):
        # As text whatever they are; OR IGNORE: keys are unique. RCPTS: the copy made it.
        with sqlite3.connect(path, timeout=30) as db:
            for _ in range(count):
                db.execute("INSERT OR IGNORE INTO MSGS VALUES(CAST(? AS TEXT),CAST(? AS TEXT),"
                           "CAST(? AS TEXT),?,?,?)",
                           (text(), name(), text(), *rng.choices(EDGES, k=2),
                            rng.choice(EDGES + [rng.randrange(2**31)] * 9)))
                db.execute("INSERT INTO RCPTS VALUES(?,'ANN',CAST(? AS TEXT),?,CAST(? AS TEXT),"
                           "?,?,?)", (rng.choice(EDGES), text(), rng.choice(EDGES), text(),
                                      text(), text(), text()))
                db.execute("INSERT INTO USRS VALUES(CAST(? AS TEXT))", (text(),))
        db.close()

    problems = []
    copy.desktop.start()
    try:
        copy.start()
        copy.sign_in("ANN")
        deadline, rounds = time.monotonic() + args.seconds, 0
        while time.monotonic() < deadline and copy.is_running():
            rounds += 1
            write(3)
            notes = [w for w in copy.shown() if w.title and w.width <= 200 and w.height <= 200]
            if notes:  # the note's tip
                copy.desktop.move(*rng.choice(notes).centre)
                time.sleep(1.5)
            if rounds % 5 == 0:
                before = {w.id for w in copy.shown()}
                copy.tray_command("t")
                listing = copy.new_window(before, '"Sent Vimos"',
                                          where=lambda w: w.title == "Sent Vimos")
                copy.desktop.move(*listing.centre)
                time.sleep(1.5)
                copy.desktop.key("Escape")
                copy.wait_gone(listing)
        shown = copy.shown()
        problems += [f"off the screen: {w}" for w in shown if w.x < 0 or w.y < 0
                     or w.x + w.width > 1024 or w.y + w.height > 768][:3]
        print(f"fuzz: {rounds} rounds, {len(shown)} windows shown", flush=True)
    except StepFailure as failure:
        problems.append(str(failure))
    finally:
        problems += [] if copy.is_running() else [f"the copy ended: {copy.log_tail()}"]
        copy.kill()
        copy.desktop.stop()
    with open(copy.log_path, errors="replace") as log:
        problems += [line for line in log if "Sanitizer" in line or "runtime error" in line][:5]
    for problem in problems:
        print(f"fuzz: FAILED: {problem}", flush=True)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
