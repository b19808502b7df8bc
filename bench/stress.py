#!/usr/bin/env python3
"""The stress test: POSTERS processes post NOTES notes each, in turn to two recipients, as fast
as they can, through the program's own posting, while two copies of the program's note
exchange (in process, on the offscreen platform), one signed in as each recipient, poll
without pause and delete every note that shows. On one store at a time.

Passes when every note the posters were told was stored is in the store or was deleted by its
recipient's copy exactly once (posted = stored), no post was refused, no two rows share a key,
and every row that left the store is one a copy showed and its user deleted (the store's own
trigger records each deletion). Prints its figures; exits 1 on any failure.

  PYTHONPATH=tests python3 bench/stress.py --build BUILD --store sqlite|postgres
      [--posters 8] [--notes 1000] [--pg-port PORT] [--without-indexes]
      [--fuse-mounts direct_io|cached]

With --fuse-mounts every poster and copy reaches the data file through a FUSE mount of its
folder of its own (tests/harness/fuseshare.py), as from a machine of its own; "cached" leaves FUSE's
page cache on."""

import argparse
import os
import shutil
import sqlite3
import subprocess
import sys
import time
from collections import Counter

from harness.fuseshare import FuseShare

SCHEMA = (
    "CREATE TABLE MSGS(MSG CHAR(250) NULL,RECIPIENT CHAR(15) NULL,SENDER CHAR(15) NULL,"
    "DT INT,URGENCY INT,TKEY INT)",
    "CREATE TABLE USRS(RECIPIENT CHAR(15))",
)
INDEXES = (
    "CREATE UNIQUE INDEX MSGS_TKEY ON MSGS(TKEY)",
    "CREATE INDEX MSGS_RECIPIENT ON MSGS(RECIPIENT)",
)
# Every row that leaves MSGS, whoever deletes it: the ground truth for "no unseen deletion".
SQLITE_WITNESS = (
    "CREATE TABLE GONE(MSG CHAR(250), RECIPIENT CHAR(15), TKEY INT)",
    "CREATE TRIGGER MSGS_GONE AFTER DELETE ON MSGS BEGIN "
    "INSERT INTO GONE VALUES(OLD.MSG, OLD.RECIPIENT, OLD.TKEY); END",
)
POSTGRES_WITNESS = (
    "CREATE TABLE GONE(MSG CHAR(250), RECIPIENT CHAR(15), TKEY INT)",
    "CREATE FUNCTION MSGS_GONE() RETURNS trigger AS $$ BEGIN "
    "INSERT INTO GONE VALUES(OLD.MSG, OLD.RECIPIENT, OLD.TKEY); RETURN OLD; END $$ "
    "LANGUAGE plpgsql",
    "CREATE TRIGGER MSGS_GONE AFTER DELETE ON MSGS FOR EACH ROW EXECUTE FUNCTION MSGS_GONE()",
)
RECIPIENTS = ("RUTH", "ROY")


def log(text):
    print(f"stress: {text}", file=sys.stderr, flush=True)


class Sqlite:
    def __init__(self, work, folder=None):
        self.path = os.path.join(work, "office.vmo")
        # Where the copies and posters open it, when not here.
        self.folder = folder or work

    def create(self, indexes):
        with sqlite3.connect(self.path) as db:
            for statement in SCHEMA + (INDEXES if indexes else ()) + SQLITE_WITNESS:
                db.execute(statement)
        db.close()

    def data_source(self, _driver):
        path = os.path.join(self.folder, "office.vmo")
        return f"[VIMO]\nDriver=Vimo SQLite\nDatabase={path}\nNoCreat=1\nTimeout=5000\n"

    def rows(self, table):
        with sqlite3.connect(self.path, timeout=30) as db:
            found = db.execute(f"SELECT MSG, RECIPIENT, TKEY FROM {table}").fetchall()
        db.close()
        return [(str(m or "").rstrip(), str(r or "").rstrip(), int(k)) for m, r, k in found]

    def integrity(self):
        with sqlite3.connect(self.path, timeout=30) as db:
            found = db.execute("PRAGMA integrity_check").fetchall()
        db.close()
        return "ok" if found == [("ok",)] else "; ".join(str(r[0]) for r in found[:3])

    def remove(self):
        pass


class Postgres:
    def __init__(self, port):
        self.port = port
        self.database = f"vimo_stress_{os.getpid()}"

    def psql(self, database, sql):
        result = subprocess.run(
            ["psql", "-h", "127.0.0.1", "-p", str(self.port), "-U", "postgres", "-d", database,
             "-X", "-q", "-A", "-t", "-F", "\x1f", "-v", "ON_ERROR_STOP=1", "-c", sql],
            capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError(f"psql: {result.stderr.strip()}")
        return [line.split("\x1f") for line in result.stdout.splitlines() if line]

    def create(self, indexes):
        self.psql("postgres", f"DROP DATABASE IF EXISTS {self.database} WITH (FORCE)")
        self.psql("postgres", f"CREATE DATABASE {self.database} ENCODING 'UTF8'")
        for statement in SCHEMA + (INDEXES if indexes else ()) + POSTGRES_WITNESS:
            self.psql(self.database, statement)

    def data_source(self, _driver):
        return ("[VIMO]\nDriver=PostgreSQL ANSI\nServername=127.0.0.1\n"
                f"Port={self.port}\nDatabase={self.database}\nUsername=postgres\nPassword=\n"
                "ConnSettings=SET client_encoding TO 'UTF8'\n")

    def rows(self, table):
        query = f"SELECT MSG, RECIPIENT, TKEY FROM {table}"
        return [(m.rstrip(), r.rstrip(), int(k)) for m, r, k in self.psql(self.database, query)]

    def integrity(self):
        return "ok"

    def remove(self):
        try:
            self.psql("postgres", f"DROP DATABASE IF EXISTS {self.database} WITH (FORCE)")
        except RuntimeError:
            pass


def fields(output, kind):
    return [line.split("\t")[1:] for line in output.splitlines() if line.split("\t")[0] == kind]


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True, help="a configured and built build folder")
    parser.add_argument("--store", choices=("sqlite", "postgres"), required=True)
    parser.add_argument("--posters", type=int, default=8)
    parser.add_argument("--notes", type=int, default=1000, help="notes per poster")
    parser.add_argument("--pg-port", type=int, default=os.environ.get("VIMO_TEST_PG_PORT"))
    parser.add_argument("--psqlodbc", default="/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so")
    parser.add_argument("--without-indexes", action="store_true",
                        help="a store made before the key index existed")
    parser.add_argument("--work", help="a folder of its own (default: BUILD/stress-STORE)")
    parser.add_argument("--fuse-mounts", choices=("direct_io", "cached"),
                        help="SQLite: each process reaches the file through a FUSE mount")
    args = parser.parse_args()
    if args.fuse_mounts and args.store != "sqlite":
        parser.error("--fuse-mounts is for the SQLite store")

    program = os.path.join(args.build, "bench", "vimo_bench_stress")
    work = args.work or os.path.join(args.build, f"stress-{args.store}")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    if args.store == "postgres" and not args.pg_port:
        parser.error("--pg-port or VIMO_TEST_PG_PORT is needed for PostgreSQL")
    shared = os.path.join(work, "share")
    os.makedirs(shared)
    processes = len(RECIPIENTS) + args.posters
    mounts = [FuseShare(shared, os.path.join(work, f"mount-{n}"),
                        coherent=args.fuse_mounts == "direct_io")
              for n in range(processes)] if args.fuse_mounts else []
    sides = [m.mount_point for m in mounts] or [shared]
    store = Sqlite(shared) if args.store == "sqlite" else Postgres(args.pg_port)
    store.create(not args.without_indexes)

    with open(os.path.join(args.build, "odbcinst-entry.ini")) as ours, \
            open(os.path.join(work, "odbcinst.ini"), "w") as out:
        out.write(ours.read() + f"\n[PostgreSQL ANSI]\nDriver={args.psqlodbc}\n")
    environments = []
    for number, side in enumerate(sides):
        if args.store == "sqlite":
            store.folder = side
        odbc_ini = os.path.join(work, f"odbc-{number}.ini")
        with open(odbc_ini, "w") as out:
            out.write(store.data_source(args.psqlodbc))
        environment = {k: v for k, v in os.environ.items()
                       if not k.startswith(("QT_", "ODBC", "XDG_"))}
        environment.update(ODBCSYSINI=work, ODBCINI=odbc_ini, HOME=work, XDG_CONFIG_HOME=work,
                           QT_QPA_PLATFORM="offscreen", TZ="UTC")
        environments.append(environment)
    stop_file = os.path.join(work, "stop")

    def launch(number, *arguments):
        return subprocess.Popen([program, *arguments], env=environments[number % len(sides)],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    try:
        for mount in mounts:
            mount.mount()
        copies = {user: launch(n, "copy", user, stop_file) for n, user in enumerate(RECIPIENTS)}
        started = time.monotonic()
        posters = [launch(len(RECIPIENTS) + n, "post", f"P{n}", str(args.notes), *RECIPIENTS)
                   for n in range(args.posters)]
        poster_out = [p.communicate() for p in posters]
        posting_s = time.monotonic() - started
        open(stop_file, "w").close()
        copy_out = {user: p.communicate(timeout=300) for user, p in copies.items()}
        total_s = time.monotonic() - started
        failures = [f"poster {n} ended with {p.returncode}: {err.strip()}"
                    for n, (p, (_, err)) in enumerate(zip(posters, poster_out)) if p.returncode]
        failures += [f"copy {u} ended with {copies[u].returncode}: {err.strip()}"
                     for u, (_, err) in copy_out.items() if copies[u].returncode]

        posted, refused, attempts, most = [], [], 0, 0
        for out, _ in poster_out:
            for sender, stored, _refused, tried, longest, _ms in fields(out, "posted"):
                attempts += int(tried)
                most = max(most, int(longest))
            refused += [(text, said) for text, said in fields(out, "refused")]
        refused_texts = {text for text, _ in refused}
        posted = [f"P{n} {i}" for n in range(args.posters) for i in range(args.notes)
                  if f"P{n} {i}" not in refused_texts]
        deleted_by = Counter()
        for user, (out, _) in copy_out.items():
            for key, text in fields(out, "deleted"):
                deleted_by[(text, user, int(key))] += 1
        alerts = [a for out, _ in copy_out.values() for a in fields(out, "alert")]
        integrity = store.integrity()
        stored, gone = store.rows("MSGS"), store.rows("GONE")

        everywhere = Counter(text for text, _, _ in stored + gone)
        lost = [t for t in posted if everywhere[t] == 0]
        doubled = [t for t, n in everywhere.items() if n > 1]
        stored_though_refused = [t for t in refused_texts if everywhere[t]]
        keys = Counter(k for _, _, k in stored)
        duplicate_keys = [k for k, n in keys.items() if n > 1]
        witnessed = Counter(gone)
        unseen = list((witnessed - deleted_by).elements())
        not_carried_out = list((deleted_by - witnessed).elements())
        left = [t for t, r, _ in stored if r in RECIPIENTS]

        figures = [
            ("store", args.store + (" (without indexes)" if args.without_indexes else "")
             + (f" through a FUSE mount for each process ({args.fuse_mounts})"
                if mounts else "")),
            ("posters x notes", f"{args.posters} x {args.notes}"),
            ("posting took (s)", f"{posting_s:.1f}"),
            ("posts per second", f"{len(posted) / posting_s:.0f}"),
            ("attempts per post (mean / most)",
             f"{attempts / max(1, args.posters * args.notes):.2f} / {most}"),
            ("refused posts", len(refused)),
            ("posted, not in the store nor deleted (lost)", len(lost)),
            ("stored or deleted twice (doubled)", len(doubled)),
            ("refused, yet stored", len(stored_though_refused)),
            ("rows sharing a key", len(duplicate_keys)),
            ("deleted by a copy", sum(deleted_by.values())),
            ("rows that left the store unseen", len(unseen)),
            ("deleted by a copy, yet still stored", len(not_carried_out)),
            ("left in the store for the two recipients", len(left)),
            ("alerts in the copies", len(alerts)),
            ("the store's integrity check", integrity),
            ("whole run (s)", f"{total_s:.1f}"),
        ]
        width = max(len(name) for name, _ in figures)
        print("\n".join(f"{name:<{width}}  {value}" for name, value in figures))
        for name, items in (("refused", refused), ("lost", lost), ("doubled", doubled),
                            ("refused yet stored", stored_though_refused),
                            ("duplicate keys", duplicate_keys), ("unseen deletions", unseen),
                            ("not carried out", not_carried_out), ("never shown", left)):
            if items:
                print(f"{name}: {items[:10]}{' ...' if len(items) > 10 else ''}")
        for (user, text), n in Counter((u, t) for u, t in alerts).items():
            print(f"{user} was told {n} times: {text}")
        failures += [f"{n} {what}" for n, what in (
            (len(refused), "posts refused"), (len(lost), "notes lost"),
            (len(doubled), "notes doubled"), (len(stored_though_refused), "refused yet stored"),
            (len(duplicate_keys), "keys shared"), (len(unseen), "rows deleted unseen"),
            (len(not_carried_out), "deletions not carried out"),
            (len(left), "notes never shown to their recipient")) if n]
        if integrity != "ok":
            failures.append(f"the store is damaged: {integrity}")
    finally:
        store.remove()
        for mount in mounts:
            mount.unmount()
    for failure in failures:
        print(f"FAILED: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
