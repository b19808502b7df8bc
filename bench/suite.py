"""Runs every benchmark of bench/ and prints one table: figure, Vimo, reference, ratio, how
measured. Starts what it needs (virtual desktops with a tray host, a PostgreSQL server and a
PgBouncer of its own) and stops it again. bench/run.sh is the way in; see bench/README.md."""

import argparse
import os
import platform
import resource
import shutil
import signal
import sqlite3
import statistics
import subprocess
import sys
import time

from harness.fuseshare import FuseShare, count_operations

# Servers and benchmark programs get descriptors for 10,000 copies, or as many as the hard
# limit allows.
FILES = "ulimit -n 65536 2>/dev/null || ulimit -n hard"
HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)


class Failure(Exception):
    pass


def log(text):
    print(f"[{time.strftime('%H:%M:%S')}] {text}", file=sys.stderr, flush=True)


def rows(output, kind):
    """The tab-separated rows of this kind in a benchmark program's output, as lists."""
    found = []
    for line in output.splitlines():
        fields = line.split("\t")
        if fields[0] == kind:
            found.append([float(f) if f.replace(".", "", 1).lstrip("-").isdigit() else f
                          for f in fields[1:]])
    return found


# The figures of a "clients" row of vimo_bench_clients, in order.
CLIENT_FIELDS = ("count connected refused dropped connect99 ramp polls poll50 poll99 all99 errors "
                 "posts retries server_cpu pooler_cpu backends server_mb client_mb links beats "
                 "beat50 beat99 published broker_cpu broker_mb own_cpu").split()


def percentile(samples, share):
    """Nearest rank, as the benchmark programs take it."""
    if not samples:
        return 0.0
    ordered = sorted(samples)
    return ordered[min(int(share * (len(ordered) - 1) + 0.5), len(ordered) - 1)]


def runs_of(output):
    """A many-copies output level by level: the lines up to and with each "clients" row."""
    chunk = []
    for line in output.splitlines():
        chunk.append(line)
        if line.startswith("clients\t"):
            yield "\n".join(chunk)
            chunk = []


def merged_clients(outputs):
    """One level's figures from processes that each ran a share of the copies in the same
    window: counts and memory summed, percentiles over all their samples, the server's,
    pooler's and broker's figures from the first (they all watched the same window)."""
    figures = [dict(zip(CLIENT_FIELDS, rows(out, "clients")[0])) for out in outputs]
    merged = dict(figures[0])
    for name in ("count", "connected", "refused", "dropped", "polls", "errors", "posts",
                 "retries", "client_mb", "links", "beats", "published", "own_cpu"):
        merged[name] = sum(f[name] for f in figures)
    merged["ramp"] = max(f["ramp"] for f in figures)
    samples = {}
    for out in outputs:
        for name, values in rows(out, "samples"):
            samples.setdefault(name, []).extend(
                float(v) for v in str(values).split(",") if v != "")
    for name, figure, share in (("poll", "poll50", 0.5), ("poll", "poll99", 0.99),
                                ("all", "all99", 0.99), ("presence", "beat50", 0.5),
                                ("presence", "beat99", 0.99), ("connect", "connect99", 0.99)):
        merged[figure] = percentile(samples.get(name, []), share)
    return merged


def delivery(outputs):
    """From the posts, reads and wake-ups the processes wrote down, on one clock: post to
    wake-up (from the last post to that user, as a wake-up names nothing), post to the note
    read by its addressee's poll, and the notes never read. A key comes back once its note is
    deleted while it is the largest, so a read belongs to the last post of its key before it."""
    posts, reads, wakes = [], {}, []
    for out in outputs:
        posts += [(at, int(key), recipient) for key, recipient, at in rows(out, "posted")]
        for key, at in rows(out, "read"):
            reads.setdefault(int(key), []).append(at)
        wakes += [(at, 1, user) for user, at in rows(out, "woken")]
    posts.sort()
    to_note = []
    for number, (at, key, _) in enumerate(posts):
        later = [p for p, k, _ in posts[number + 1:] if k == key]
        came = [r for r in reads.get(key, []) if at <= r < (later[0] if later else float("inf"))]
        if came:
            to_note.append(min(came) - at)
    last, to_wake = {}, []
    for at, woken, user in sorted([(at, 0, user) for at, _, user in posts] + wakes):
        if not woken:
            last[user] = at
        elif user in last:
            to_wake.append(at - last.pop(user))
    return to_wake, to_note, len(posts) - len(to_note)


def slope(points):
    """Least-squares slope of (x, y) points, and its standard error."""
    n = len(points)
    mx = sum(x for x, _ in points) / n
    my = sum(y for _, y in points) / n
    sxx = sum((x - mx) ** 2 for x, _ in points)
    if not sxx or n < 3:
        return 0.0, 0.0
    b = sum((x - mx) * (y - my) for x, y in points) / sxx
    residual = sum((y - my - b * (x - mx)) ** 2 for x, y in points)
    return b, (residual / (n - 2) / sxx) ** 0.5


class Table:
    def __init__(self):
        self.lines = []

    def section(self, title):
        self.lines.append(("section", title))

    def add(self, figure, vimo, reference="", ratio=None, how=""):
        if ratio is None and isinstance(vimo, (int, float)) \
                and isinstance(reference, (int, float)) and reference:
            ratio = vimo / reference
        self.lines.append(("row", figure, vimo, reference, ratio, how))

    @staticmethod
    def text(value):
        if isinstance(value, float):
            return f"{value:.3f}" if abs(value) < 10 else f"{value:.1f}" if abs(value) < 1000 \
                else f"{value:,.0f}"
        return str(value)

    def markdown(self):
        out = ["| figure | Vimo | reference | ratio | how measured |", "|---|---:|---:|---:|---|"]
        for line in self.lines:
            if line[0] == "section":
                out.append(f"| **{line[1]}** | | | | |")
            else:
                _, figure, vimo, reference, ratio, how = line
                out.append(f"| {figure} | {self.text(vimo)} | {self.text(reference)} | "
                           f"{f'{ratio:.2f}x' if isinstance(ratio, float) else ''} | {how} |")
        return "\n".join(out)


class Suite:
    def __init__(self, args):
        self.args = args
        self.quick = args.quick
        self.build = os.path.abspath(args.build)
        self.bin = os.path.join(self.build, "bench")
        self.work = os.path.abspath(args.work)
        self.pg_port, self.bouncer_port = args.ports
        self.displays = args.displays
        self.table = Table()
        self.started = []  # (what, stop function)
        self.pg_dir = os.path.join(self.work, "pg")
        self.pg_bin = sorted(d for d in (os.path.join("/usr/lib/postgresql", v, "bin")
                                         for v in os.listdir("/usr/lib/postgresql"))
                             if os.path.exists(os.path.join(d, "pg_ctl")))[-1]
        self.machine = {}
        # Memory is read once it has settled, and never before a copy's first timed poll.
        self.settle_s = 12 if self.quick else 25

    # Plumbing

    def run(self, command, env=None, timeout=900, check=True):
        log(" ".join(str(c) for c in command))
        result = subprocess.run([str(c) for c in command], env=env, capture_output=True,
                                text=True, timeout=timeout)
        if result.stderr.strip():
            for line in result.stderr.strip().splitlines()[-12:]:
                log(f"  | {line}")
        if check and result.returncode != 0:
            raise Failure(f"{command[0]} {command[1] if len(command) > 1 else ''} failed "
                          f"({result.returncode})")
        return result.stdout

    def odbc_env(self, name, dsn, extra=None):
        """An environment whose user data source "VIMO" is dsn, with private user files."""
        home = os.path.join(self.work, "users", name)
        for folder in ("home", "config", "runtime"):
            os.makedirs(os.path.join(home, folder), exist_ok=True)
        os.chmod(os.path.join(home, "runtime"), 0o700)
        with open(os.path.join(home, "odbc.ini"), "w") as out:
            out.write("[VIMO]\nDescription=Vimo File\n" + dsn)
        env = {k: v for k, v in os.environ.items() if not k.startswith(("QT_", "ODBC", "XDG_"))}
        env.update(ODBCSYSINI=self.work, ODBCINI=os.path.join(home, "odbc.ini"),
                   HOME=os.path.join(home, "home"), XDG_CONFIG_HOME=os.path.join(home, "config"),
                   XDG_RUNTIME_DIR=os.path.join(home, "runtime"), TZ="UTC")
        env.update(extra or {})
        return env

    @staticmethod
    def sqlite_dsn(path):
        return f"Driver=Vimo SQLite\nDatabase={path}\nNoCreat=1\nTimeout=5000\n"

    def pg_dsn(self, port, database="vimo"):
        return (f"Driver=PostgreSQL ANSI\nServername=127.0.0.1\nPort={port}\nDatabase={database}\n"
                "Username=postgres\nPassword=\nConnSettings=SET client_encoding TO 'UTF8'\n")

    def pg_conninfo(self, port, database="vimo"):
        return f"host=127.0.0.1 port={port} dbname={database} user=postgres"

    def as_postgres(self, command, **kwargs):
        if os.getuid() == 0:
            command = ["runuser", "-u", "postgres", "--"] + command
        return subprocess.run(command, capture_output=True, text=True, **kwargs)

    # Servers and desktops

    def setup(self):
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        with open(os.path.join(self.build, "odbcinst-entry.ini")) as ours, \
                open(os.path.join(self.work, "odbcinst.ini"), "w") as out:
            out.write(ours.read())
            out.write(f"\n[PostgreSQL ANSI]\nDriver={self.args.psqlodbc}\n")
        self.record_machine()

    def record_machine(self):
        lscpu = subprocess.run(["lscpu"], capture_output=True, text=True).stdout
        fields = dict(line.split(":", 1) for line in lscpu.splitlines() if ":" in line)
        with open("/proc/meminfo") as meminfo:
            total = int(meminfo.readline().split()[1]) // 1024
        self.machine = {
            "cpu": fields.get("Model name", "?").strip(),
            "cores": fields.get("CPU(s)", "?").strip(),
            "memory": f"{total / 1024:.1f} GiB",
            "kernel": platform.release(),
            "load at start": " ".join(open("/proc/loadavg").read().split()[:3]),
        }

    def start_postgres(self, max_connections=100):
        self.stop_postgres()
        shutil.rmtree(self.pg_dir, ignore_errors=True)
        os.makedirs(self.pg_dir)
        if os.getuid() == 0:
            shutil.chown(self.pg_dir, "postgres", "postgres")
        result = self.as_postgres([f"{self.pg_bin}/initdb", "-D", f"{self.pg_dir}/data", "-A",
                                   "trust", "-U", "postgres", "-E", "UTF8", "--locale=C.UTF-8"])
        if result.returncode:
            raise Failure("initdb: " + result.stderr)
        self.restart_postgres(max_connections)
        self.as_postgres([f"{self.pg_bin}/psql", "-h", "127.0.0.1", "-p", str(self.pg_port),
                          "-U", "postgres", "-c", "CREATE DATABASE vimo"])
        self.started.append(("postgres", self.stop_postgres))

    def restart_postgres(self, max_connections, statement_times=False):
        """A server as Debian sets it up, durable (fsync on), on 127.0.0.1 only; with
        statement_times it also keeps each statement's time (pg_stat_statements)."""
        if os.path.exists(f"{self.pg_dir}/data/postmaster.pid"):
            self.as_postgres([f"{self.pg_bin}/pg_ctl", "-D", f"{self.pg_dir}/data", "-m", "fast",
                              "-w", "stop"])
        options = (f"-p {self.pg_port} -k {self.pg_dir} -c listen_addresses=127.0.0.1 "
                   f"-c max_connections={max_connections}"
                   + (" -c shared_preload_libraries=pg_stat_statements" if statement_times
                      else ""))
        script = (f"{FILES}; exec {self.pg_bin}/pg_ctl -D {self.pg_dir}/data "
                  f"-l {self.pg_dir}/server.log -w -t 120 -o '{options}' start")
        result = subprocess.run(["bash", "-c", script if os.getuid() != 0 else
                                 f"{FILES}; runuser -u postgres -- bash -c \"{script}\""],
                                capture_output=True, text=True)
        if result.returncode:
            raise Failure("PostgreSQL did not start: " + result.stderr + result.stdout)
        self.max_connections = max_connections
        self.statement_times = statement_times

    def postgres_pid(self):
        with open(f"{self.pg_dir}/data/postmaster.pid") as pid:
            return int(pid.readline())

    def stop_postgres(self):
        if os.path.exists(f"{self.pg_dir}/data/postmaster.pid"):
            self.as_postgres([f"{self.pg_bin}/pg_ctl", "-D", f"{self.pg_dir}/data", "-m",
                              "immediate", "-w", "stop"])

    def start_bouncer(self):
        folder = os.path.join(self.work, "pgbouncer")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "users.txt"), "w") as users:
            users.write('"postgres" ""\n')
        with open(os.path.join(folder, "pgbouncer.ini"), "w") as ini:
            ini.write(f"""[databases]
vimo = host=127.0.0.1 port={self.pg_port} dbname=vimo
[pgbouncer]
listen_addr = 127.0.0.1
listen_port = {self.bouncer_port}
unix_socket_dir =
auth_type = trust
auth_file = {folder}/users.txt
pool_mode = transaction
max_client_conn = 12000
default_pool_size = 20
max_db_connections = 50
logfile = {folder}/pgbouncer.log
log_connections = 0
log_disconnections = 0
""")
        if os.getuid() == 0:
            shutil.chown(folder, "postgres", "postgres")
            for name in os.listdir(folder):
                shutil.chown(os.path.join(folder, name), "postgres", "postgres")
        # As root PgBouncer drops to the postgres user itself; runuser would reset the raised
        # descriptor limit to the session's default.
        command = ["pgbouncer", os.path.join(folder, "pgbouncer.ini")]
        if os.getuid() == 0:
            command[1:1] = ["-u", "postgres"]
        self.bouncer = subprocess.Popen(["bash", "-c", f'{FILES}; exec "$@"', "bouncer"]
                                        + command, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        self.started.append(("pgbouncer", self.stop_bouncer))
        deadline = time.monotonic() + 30
        while subprocess.run(["bash", "-c", f"echo > /dev/tcp/127.0.0.1/{self.bouncer_port}"],
                             capture_output=True).returncode:
            if time.monotonic() > deadline or self.bouncer.poll() is not None:
                raise Failure("PgBouncer did not start")
            time.sleep(0.1)

    def bouncer_pid(self):
        return self.bouncer.pid

    def stop_bouncer(self):
        if self.bouncer.poll() is None:
            self.bouncer.send_signal(signal.SIGTERM)
            self.bouncer.wait(20)

    def desktop(self, action, index=0):
        state = os.path.join(self.work, "desktop" if index == 0 else f"desktop-{index}")
        fixture = os.path.join(SOURCE, "tests", "support", "desktop-fixture.sh")
        if action == "start":
            subprocess.run([fixture, "start", str(self.displays[index]), state], check=True,
                           capture_output=True)
            with open(os.path.join(state, "xvfb.pid")) as pid:
                return int(pid.read())
        subprocess.run([fixture, "stop", state], capture_output=True)
        return 0

    def stop_all(self):
        for what, stop in reversed(self.started):
            try:
                stop()
            except Exception as error:  # keep stopping the rest
                log(f"stopping {what}: {error}")
        self.started.clear()

    # The benchmarks

    def bench(self, *arguments, env, timeout=900):
        return self.run([os.path.join(self.bin, "vimo_bench_store"), *arguments], env=env,
                        timeout=timeout)

    def desktop_session(self, program, notes):
        """One start of a program on a fresh desktop; the probe's row."""
        xserver = self.desktop("start")
        try:
            if program in ("vimo", "floor-store", "before"):
                store = os.path.join(self.work, f"desk-{notes}.vmo")
                env = self.odbc_env(program, self.sqlite_dsn(store),
                                    {"DISPLAY": f":{self.displays[0]}", "QT_QPA_PLATFORM": "xcb"})
                if not os.path.exists(store):
                    self.bench("make", f"sqlite:{store}", notes, "ANN", env=env)
                vimo = self.args.before if program == "before" else os.path.join(
                    self.build, "src", "app", "vimo")
                command = ["Login & Identification", "ann", "Tab Tab space", notes, xserver,
                           self.settle_s, "--", vimo]
                if program == "floor-store":
                    command = ["Floor sign-in", "ann", "Return", notes, xserver, self.settle_s,
                               "--", os.path.join(self.bin, "vimo_bench_floor_store"), notes]
            else:
                env = self.odbc_env("floor", "", {"DISPLAY": f":{self.displays[0]}",
                                                  "QT_QPA_PLATFORM": "xcb"})
                command = ["Floor sign-in", "ann", "Return", notes, xserver, self.settle_s, "--",
                           os.path.join(self.bin, "vimo_bench_floor"), notes]
            env["VIMO_BENCH_SCREENSHOT"] = os.path.join(self.work, f"{program}-{notes}.png")
            out = self.run([os.path.join(self.bin, "vimo_bench_desktop"), *command], env=env,
                           timeout=300)
            return rows(out, "desktop")[0]
        finally:
            self.desktop("stop")

    def desktop_figures(self):
        t = self.table
        t.section("Start-up and memory (SQLite store, virtual desktop with a tray host)")
        runs = self.args.runs or (3 if self.quick else 7)
        sessions = {"vimo": [], "floor": [], "floor-store": []}
        if self.args.before:
            sessions["before"] = []
        for _ in range(runs):  # alternating, so both see the same machine
            for program in sessions:
                sessions[program].append(self.desktop_session(program, 0))
        median = {p: [statistics.median(r[i] for r in s) for i in range(9)]
                  for p, s in sessions.items()}

        def spread(program, field, scale=1.0):
            values = [r[field] * scale for r in sessions[program]]
            return f"{min(values):.1f}-{max(values):.1f}"

        how = f"median of {runs} alternating runs, each on a fresh Xvfb + trayer"
        t.add("exec to the sign-in window (ms)", median["vimo"][0], median["floor"][0],
              how=f"X MapNotify seen from outside (xcb); {how}; runs {spread('vimo', 0)} against "
                  f"{spread('floor', 0)}")
        t.add("sign-in to tray icon (ms)", median["vimo"][1], median["floor"][1],
              how="the last key's press as the sign-in window receives it, to the icon's "
                  "MapNotify in the tray host; Vimo also polls the store first; runs "
                  f"{spread('vimo', 1)} against {spread('floor', 1)}")
        settled = (f"/proc/PID/smaps_rollup once RSS has not grown for 10 s, at least "
                   f"{self.settle_s} s after the tray icon (median {median['vimo'][6]:.0f} s), "
                   "and no CPU is used for 1 s")
        t.add("RSS idle, signed in, no notes (MiB)", median["vimo"][2] / 1024,
              median["floor"][2] / 1024,
              how=f"{settled}; runs {spread('vimo', 2, 1 / 1024)} against "
                  f"{spread('floor', 2, 1 / 1024)}; 1 s after the icon "
                  f"{median['vimo'][7] / 1024:.1f} against {median['floor'][7] / 1024:.1f}")
        if self.args.before:
            for field, what, scale in ((0, "exec to the sign-in window (ms)", 1.0),
                                       (1, "sign-in to tray icon (ms)", 1.0),
                                       (2, "RSS idle, signed in, no notes (MiB)", 1 / 1024)):
                t.add(f"{what}, the program as it was before", median["before"][field] * scale,
                      median["floor"][field] * scale,
                      how=f"{self.args.before}, in the same alternating runs; runs "
                          f"{spread('before', field, scale)}")
        t.add("PSS idle (MiB)", median["vimo"][3] / 1024, median["floor"][3] / 1024,
              how="the same; shared libraries divided among their users")
        t.add("RSS idle against the floor with the store open (MiB)", median["vimo"][2] / 1024,
              median["floor-store"][2] / 1024,
              how="reference: the floor program that also holds a link to the same SQLite store "
                  "through unixODBC and has polled once; what Vimo's own code costs; runs "
                  f"{spread('floor-store', 2, 1 / 1024)}")
        t.add("of that, the store's libraries (MiB)", median["vimo"][8] / 1024,
              median["floor-store"][8] / 1024,
              how="RSS of the mappings of SQLite, unixODBC and the SQLite ODBC driver "
                  "(/proc/PID/smaps): the kernel maps the cached pages around each page of code "
                  "touched, so opening the store at all maps most of their code; the floor "
                  f"without the store has none of it, and is {median['floor'][2] / 1024:.1f} MiB")
        for notes in self.args.notes or ((100,) if self.quick else (100, 500)):
            with_notes = {"vimo": [], "floor": []}
            for _ in range(1 if self.quick else 2):
                for program in with_notes:
                    with_notes[program].append(self.desktop_session(program, notes))
            for program, found in with_notes.items():
                if min(r[5] for r in found) < notes:
                    raise Failure(f"{program}: only {min(r[5] for r in found)} of {notes} "
                                  "windows showed")
            vimo, floor = ([statistics.median(r[i] for r in with_notes[p]) for i in range(9)]
                           for p in ("vimo", "floor"))
            count = len(with_notes["vimo"])
            t.add(f"RSS with {notes} notes open (MiB)", vimo[2] / 1024, floor[2] / 1024,
                  how=f"median of {count} runs, memory read as above; reference: the floor "
                      f"program with {notes} plain coloured windows")
            t.add(f"program memory per note at {notes} (KiB)",
                  (vimo[2] - median['vimo'][2]) / notes, (floor[2] - median['floor'][2]) / notes,
                  how="(RSS with notes - idle RSS) / notes, both medians")
            t.add(f"X server memory per note at {notes} (KiB)", vimo[4] / notes, floor[4] / notes,
                  how="Xvfb VmRSS growth from before start to the reading, / notes")

    def poll_loop(self):
        # Long enough that twice the slope's standard error stays well under 1 KiB per 1,000
        # polls: RSS moves in 4 KiB pages.
        alone, churning = (10000, 5000) if self.quick else (100000, 40000)
        store = os.path.join(self.work, "loop.vmo")
        env = self.odbc_env("loop", self.sqlite_dsn(store),
                            {"DISPLAY": f":{self.displays[0]}", "QT_QPA_PLATFORM": "xcb"})
        t = self.table
        t.section("Memory over time: the program's poll in process, as fast as it goes, on a "
                  "SQLite store with 10 notes open; slope of RSS with twice its standard error")
        self.desktop("start")
        try:
            reference = rows(self.bench("window-loop", churning // 10, env=env), "rss")
            reference_slope, reference_error = slope(
                [(p, kb) for p, kb, _, _ in reference if p >= churning / 10])
            for polls, churn, what in ((alone, 0, "polls alone"),
                                       (churning, 10, "a note deleted and one sent every 10 "
                                                      "polls")):
                self.bench("make", f"sqlite:{store}", 10, "ANN", env=env)
                out = self.bench("poll-loop", polls, "ANN", churn, env=env)
                samples = rows(out, "rss")
                per_poll = rows(out, "polls")[0]
                b, error = slope([(p, kb) for p, kb, _, _ in samples if p >= polls / 10])
                t.add(f"RSS slope over {polls:,} polls, {what} (KiB per 1,000 polls)",
                      f"{b * 1000:.2f} ± {2 * error * 1000:.2f}",
                      f"{reference_slope * 1000:.2f} ± {2 * reference_error * 1000:.2f}"
                      if churn else "0", ratio="",
                      how=f"least squares over samples every 250 polls after the first tenth; "
                          f"RSS {samples[0][1] / 1024:.1f} -> {samples[-1][1] / 1024:.1f} MiB; "
                          f"descriptors {samples[0][2]:.0f} -> {samples[-1][2]:.0f}; "
                          f"{per_poll[1]:.3f} ms a poll; reference: "
                          + ("flat" if not churn else
                             "plain Qt windows made and destroyed at the same pace"))
        finally:
            self.desktop("stop")

    def queries(self):
        sizes = "10000,100000" if self.quick else "10000,100000,1000000"
        runs = 50 if self.quick else 200
        results, upgrades = [], []
        sqlite_path = os.path.join(self.work, "queries.vmo")
        open(sqlite_path, "w").close()
        env = self.odbc_env("queries-sqlite", self.sqlite_dsn(sqlite_path))
        out = self.bench("queries", f"sqlite:{sqlite_path}", sizes, runs, env=env)
        results += rows(out, "query")
        upgrades += rows(out, "upgrade")
        os.remove(sqlite_path)
        env = self.odbc_env("queries-pg", self.pg_dsn(self.pg_port))
        out = self.bench("queries", "postgres:" + self.pg_conninfo(self.pg_port), sizes, runs,
                         env=env)
        results += rows(out, "query")
        upgrades += rows(out, "upgrade")
        t = self.table
        t.section("The program's statements, p50 / p99 in ms: the poll (every note of the user, "
                  "whole), the next key, the deletion of one note by its whole row; Vimo "
                  "through ODBC; reference: the engine's C API (sqlite3, libpq), same text, "
                  "same run")
        for store, notes, indexes, query, p50, p99, c50, c99, count in results:
            if indexes != "yes":
                continue
            t.add(f"{store} {query} at {notes:,.0f} notes", f"{p50:.3f} / {p99:.3f}",
                  f"{c50:.3f} / {c99:.3f}", ratio=p50 / c50 if c50 else None,
                  how=f"p50 / p99 of {count:.0f} runs interleaved with the reference; ratio of p50")
        t.section("Old stores: the same queries on a store without the two indexes (baseline)")
        for store, notes, indexes, query, p50, p99, c50, c99, count in results:
            if indexes == "no":
                new = next(r for r in results if r[:2] == [store, notes] and r[2] == "yes"
                           and r[3] == query)
                t.add(f"{store} {query} at {notes:,.0f} notes, no indexes (ms)",
                      f"{p50:.3f} / {p99:.3f}", f"{new[4]:.3f} / {new[5]:.3f}",
                      ratio=p50 / new[4] if new[4] else None,
                      how=f"p50 / p99 of {count:.0f} runs; reference: the same store with its "
                          "indexes")
        t.section("Old stores after one start of this version: the indexes added, the same "
                  "queries again")
        for store, notes, took in upgrades:
            t.add(f"{store}: adding the indexes at {notes:,.0f} notes (ms)", took, "",
                  how="the program's start-up step on the store above; meanwhile other copies "
                      "wait to write, their reads go on")
            for query in ("poll", "next key"):
                after = next(r for r in results if r[:4] == [store, notes, "upgraded", query])
                new = next(r for r in results if r[:4] == [store, notes, "yes", query])
                t.add(f"{store} {query} at {notes:,.0f} notes, after one start (ms)",
                      f"{after[4]:.3f} / {after[5]:.3f}", f"{new[4]:.3f} / {new[5]:.3f}",
                      ratio=after[4] / new[4] if new[4] else None,
                      how=f"p50 / p99 of {after[8]:.0f} runs; reference: a store made by this "
                          "version, same run")

    def posters(self):
        seconds = 3 if self.quick else 6
        t = self.table
        t.section("Posting: 8 copies posting at once, as fast as they can")
        cases = [("sqlite", None), ("postgres", self.pg_port), ("pgbouncer", self.bouncer_port)]
        for store, port in cases:
            outcome = {}
            for via in (("odbc",) if store == "pgbouncer" else ("odbc", "capi")):
                if store == "sqlite":
                    path = os.path.join(self.work, f"posts-{via}.vmo")
                    where = f"sqlite:{path}"
                    env = self.odbc_env("posts", self.sqlite_dsn(path))
                else:
                    where = "postgres:" + self.pg_conninfo(port)
                    env = self.odbc_env("posts", self.pg_dsn(port))
                self.bench("make", where if store != "pgbouncer" else
                           "postgres:" + self.pg_conninfo(self.pg_port), 0, "USER001", env=env)
                start_at = (time.time() + 2) * 1000
                processes = [subprocess.Popen([os.path.join(self.bin, "vimo_bench_store"), "post",
                                               where, via, str(seconds), f"{start_at:.0f}"],
                                              env=env, stdout=subprocess.PIPE, text=True)
                             for _ in range(8)]
                results = [rows(p.communicate(timeout=120)[0], "post")[0] for p in processes]
                stored = sum(r[1] for r in results)
                outcome[via] = (stored / seconds, sum(r[2] for r in results),
                                sum(r[3] for r in results),
                                statistics.median(r[5] for r in results))
            name = {"sqlite": "SQLite file", "postgres": "PostgreSQL",
                    "pgbouncer": "PostgreSQL through PgBouncer"}[store]
            v = outcome["odbc"]
            c = outcome.get("capi")
            t.add(f"{name}: notes stored per second", v[0], c[0] if c else "",
                  how=f"{seconds} s, 8 processes; the program's Send: "
                      + ("BEGIN IMMEDIATE, next key, insert, COMMIT" if store == "sqlite" else
                         "next key, insert")
                      + ", the sender's record and its pruning; retry on a taken key; "
                        "reference: the same statements with the C API")
            t.add(f"{name}: retries / failed posts", f"{v[1]:.0f} / {v[2]:.0f}",
                  f"{c[1]:.0f} / {c[2]:.0f}" if c else "", how="")
            t.add(f"{name}: p99 of one post (ms, median over posters)", v[3], c[3] if c else "",
                  how="")

    def postgres_clients(self):
        window = 10 if self.quick else 30
        rate = self.args.posts_per_hour
        t = self.table
        t.section(f"Many copies on one PostgreSQL: a poll every 20 s, {rate:g} posts per user "
                  f"an hour, with the receipts (libpq, async, the wire traffic of psqlODBC); "
                  f"{window} s window")
        # Direct at the default limit shows what refuses first; raised, what it costs.
        plans = [("direct, max_connections=100", self.pg_port, 100, "1000", False),
                 ("direct, max_connections=1100", self.pg_port, 1100,
                  "100" if self.quick else "100,1000", False),
                 ("PgBouncer (transaction pooling, 20 server connections)", self.bouncer_port,
                  100, "100,1000" if self.quick else "100,1000,10000", False),
                 # The large office with instant delivery: polls through the pooler, each
                 # copy's listening link straight to the server (ListenPort).
                 ("PgBouncer, wake-up trigger, listening links direct, max_connections=1100",
                  self.bouncer_port, 1100, "100" if self.quick else "1000", True)]
        for name, port, max_connections, levels, listening in plans:
            if (max_connections, False) != (self.max_connections, self.statement_times):
                self.restart_postgres(max_connections)
            env = self.odbc_env("clients", self.pg_dsn(self.pg_port))
            self.bench("make", "postgres:" + self.pg_conninfo(self.pg_port), 0, "C00000", env=env)
            add_users = [f"{self.pg_bin}/psql", "-h", "127.0.0.1", "-p", str(self.pg_port),
                         "-U", "postgres", "vimo", "-c",
                         "INSERT INTO USRS SELECT 'C' || lpad(i::text, 5, '0') "
                         "FROM generate_series(1, 9999) i"]
            self.as_postgres(add_users)
            listen = []
            if listening:
                with open(os.path.join(SOURCE, "resources", "postgresql-schema.sql")) as schema:
                    self.as_postgres([f"{self.pg_bin}/psql", "-q", "-h", "127.0.0.1", "-p",
                                      str(self.pg_port), "-U", "postgres", "vimo"],
                                     input=schema.read())
                listen = [self.pg_conninfo(self.pg_port)]
            pooler = [self.bouncer_pid() if port == self.bouncer_port else 0] \
                if port == self.bouncer_port or listen else []
            out = self.run([os.path.join(self.bin, "vimo_bench_clients"),
                            self.pg_conninfo(port), levels, window, rate, self.postgres_pid(),
                            *pooler, *listen], timeout=900)
            for run in runs_of(out):
                (count, connected, refused, dropped, connect99, ramp, polls, p50, p99, all99,
                 errors, posts, retries, server_cpu, bouncer_cpu, backends, server_mb,
                 client_mb, listeners, beats, _, beat99) = rows(run, "clients")[0][:22]
                announced = delivery([run])[0]
                label = f"{count:,.0f} copies, {name}"
                t.add(f"{label}: poll p50 / p99 (ms)", f"{p50:.2f} / {p99:.2f}", "",
                      how=f"{polls:.0f} polls; every statement p99 {all99:.2f} ms")
                t.add(f"{label}: connected / refused / dropped",
                      f"{connected:.0f} / {refused:.0f} / {dropped:.0f}", "",
                      how=f"connect p99 {connect99:.0f} ms; ramp {ramp:.1f} s")
                t.add(f"{label}: server CPU (% of one core)", server_cpu,
                      "" if port != self.bouncer_port else f"PgBouncer {bouncer_cpu:.1f}%",
                      how=f"{backends:.0f} server processes, their PSS {server_mb:.0f} MiB; "
                          f"{posts:.0f} posts, {errors:.0f} errors, {retries:.0f} retries")
                t.add(f"{label}: presence beats in the window, p99 (ms)",
                      f"{beats:.0f}, {beat99:.2f}", "",
                      how="one upsert per copy every 5 min, on a random poll tick; "
                          "counted in the server CPU above")
                if listening:
                    t.add(f"{label}: post to announcement p50 / p99 (ms)",
                          f"{percentile(announced, 0.5):.2f} / "
                          f"{percentile(announced, 0.99):.2f}", "",
                          how=f"{len(announced)} announced; {listeners:.0f} listening links "
                              "connected; each announcement has its copy poll at once")
        if self.max_connections != 100:
            self.restart_postgres(100)

    def start_broker(self):
        """Mosquitto as an office would run it: the per-user rules of docs/administration.md,
        no persistence, a descriptor limit for 10,000 links."""
        folder = os.path.join(self.work, "mosquitto")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "acl"), "w") as acl:
            acl.write("pattern read vimo/wakeup/%u\npattern write vimo/wakeup/+\n")
        with open(os.path.join(folder, "mosquitto.conf"), "w") as conf:
            conf.write(f"listener {self.args.broker_port} 127.0.0.1\nallow_anonymous true\n"
                       f"acl_file {folder}/acl\nmax_connections -1\npersistence false\n"
                       "log_dest none\n" + ("user root\n" if os.getuid() == 0 else ""))
        self.broker = subprocess.Popen(["bash", "-c", f'{FILES}; exec "$@"', "broker",
                                        "mosquitto", "-c", f"{folder}/mosquitto.conf"],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.started.append(("mosquitto", self.stop_broker))
        deadline = time.monotonic() + 30
        while subprocess.run(["bash", "-c", f"echo > /dev/tcp/127.0.0.1/{self.args.broker_port}"],
                             capture_output=True).returncode:
            if time.monotonic() > deadline or self.broker.poll() is not None:
                raise Failure("mosquitto did not start")
            time.sleep(0.1)

    def stop_broker(self):
        if self.broker.poll() is None:
            self.broker.send_signal(signal.SIGTERM)
            self.broker.wait(20)

    def psql(self, statement):
        result = self.as_postgres([f"{self.pg_bin}/psql", "-qAt", "-F", "\t", "-h", "127.0.0.1",
                                   "-p", str(self.pg_port), "-U", "postgres", "vimo", "-c",
                                   statement])
        return [line.split("\t") for line in result.stdout.splitlines()]

    def office_copies(self, count, window, wake):
        """count copies at the office's pace, shared among processes that each stay under the
        descriptor limit (up to four a copy), their window started together. Also what the
        server spent executing the presence beats in that window. The processes' outputs."""
        hard = resource.getrlimit(resource.RLIMIT_NOFILE)[1]
        per_process = min(2500, (hard - 500) // 4 if hard != resource.RLIM_INFINITY else 2500)
        command = [os.path.join(self.bin, "vimo_bench_clients"),
                   self.pg_conninfo(self.bouncer_port), None, window, 5.0 * 3600 / count,
                   self.postgres_pid(), self.bouncer_pid(), *wake]
        processes = []
        for first in range(0, count, per_process):
            command[2] = min(per_process, count - first)
            log(" ".join(str(c) for c in command) + f" {first}/{count}")
            errors = open(os.path.join(self.work, f"clients-{first}.log"), "w+")
            processes.append((subprocess.Popen(
                [str(c) for c in command] + [f"{first}/{count}"], stdin=subprocess.PIPE,
                stdout=subprocess.PIPE, stderr=errors, text=True), errors))
        heads = []
        for process, _ in processes:
            head = ""
            while not head.endswith("\n") or not head.splitlines()[-1].startswith("ready"):
                line = process.stdout.readline()
                if not line:
                    raise Failure("vimo_bench_clients ended before its copies were connected")
                head += line
            heads.append(head)
        for process, _ in processes:
            process.stdin.write("\n")
            process.stdin.close()
        # Each process waits 2 s more, then runs its window.
        time.sleep(2)
        self.psql("SELECT pg_stat_statements_reset()")
        time.sleep(window)
        spent = self.psql("SELECT sum(total_exec_time), sum(total_exec_time) FILTER (WHERE "
                          "query LIKE 'INSERT INTO VIMO_PRESENCE%'), sum(calls) FILTER (WHERE "
                          "query LIKE 'INSERT INTO VIMO_PRESENCE%') FROM pg_stat_statements")
        outputs = []
        for (process, errors), head in zip(processes, heads):
            outputs.append(head + process.stdout.read())
            with open(errors.name[:-len(".log")] + ".out", "w") as kept:
                kept.write(outputs[-1])
            if process.wait(timeout=300):
                raise Failure(f"vimo_bench_clients failed ({process.returncode})")
            errors.seek(0)
            for line in errors.read().strip().splitlines()[-6:]:
                log(f"  | {line}")
            errors.close()
        all_ms, presence_ms, beats = (float(v or 0) for v in spent[0])
        return outputs, (presence_ms, presence_ms / all_ms if all_ms else 0.0, beats)

    def wakeup_paths(self):
        """The many copies again, polls through PgBouncer, each copy woken by one of the two
        paths, at an office's pace of 5 notes a second whatever its size."""
        window = 10 if self.quick else 30
        t = self.table
        t.section("Wake-ups for many copies: polls through PgBouncer, the program's statements, "
                  "receipts and presence beats, 5 notes a second across the office; "
                  f"{window} s window, then one poll period more for the notes still unread")
        levels = [100, 1000] if self.quick else [1000, 10000]
        if self.args.wakeup_levels:
            levels = self.args.wakeup_levels
        paths = ["broker", "listening"]
        if self.args.only_wakeup:
            paths = [p for p in paths if p in self.args.only_wakeup.split(",")]
        self.start_broker()
        env = self.odbc_env("clients", self.pg_dsn(self.pg_port))
        for path in paths:
            for count in levels:
                listening = path == "listening"
                # A listening link is one server process: room for all of them.
                connections = count + 100 if listening else 100
                if (connections, True) != (self.max_connections, self.statement_times):
                    self.restart_postgres(connections, statement_times=True)
                self.bench("make", "postgres:" + self.pg_conninfo(self.pg_port), 0, "C00000",
                           env=env)
                self.psql("INSERT INTO USRS SELECT 'C' || lpad(i::text, 5, '0') "
                          "FROM generate_series(1, 9999) i")
                self.psql("CREATE EXTENSION IF NOT EXISTS pg_stat_statements")
                with open(os.path.join(SOURCE, "resources", "postgresql-schema.sql")) as schema:
                    self.as_postgres([f"{self.pg_bin}/psql", "-q", "-h", "127.0.0.1", "-p",
                                      str(self.pg_port), "-U", "postgres", "vimo"],
                                     input=schema.read())
                wake = [self.pg_conninfo(self.pg_port), "", 0] if listening else \
                    ["", f"127.0.0.1:{self.args.broker_port}", self.broker.pid]
                outputs, (presence_ms, presence_share, presence_calls) = self.office_copies(
                    count, window, wake)
                f = merged_clients(outputs)
                woken, read, unread = delivery(outputs)
                label = (f"{count:,} copies, "
                         + ("listening links direct" if listening else "MQTT broker (Mosquitto)"))
                t.add(f"{label}: post to wake-up / to note read, p50 / p99 (ms)",
                      f"{percentile(woken, 0.5):.0f} / {percentile(woken, 0.99):.0f}; "
                      f"{percentile(read, 0.5):.0f} / {percentile(read, 0.99):.0f}", "",
                      how=f"{f['posts']:.0f} posts, {len(read)} read, {unread} never read "
                          f"(lost); {len(woken)} wake-ups timed"
                          + ("" if listening else f", {f['published']:.0f} published")
                          + f"; {f['links']:.0f} of {count} wake-up links up")
                t.add(f"{label}: server CPU (% of one core) / PSS (MiB)",
                      f"{f['server_cpu']:.1f} / {f['server_mb']:.0f}",
                      f"PgBouncer {f['pooler_cpu']:.1f}%",
                      how=f"{f['backends']:.0f} server processes; poll p50 / p99 "
                          f"{f['poll50']:.2f} / {f['poll99']:.2f} ms, every statement p99 "
                          f"{f['all99']:.2f} ms; {f['errors']:.0f} errors, "
                          f"{f['retries']:.0f} retries")
                t.add(f"{label}: broker CPU (% of one core) / PSS (MiB)",
                      "-" if listening else f"{f['broker_cpu']:.1f} / {f['broker_mb']:.0f}", "",
                      how=f"connected {f['connected']:.0f}, refused {f['refused']:.0f}, "
                          f"dropped {f['dropped']:.0f}; connect p99 {f['connect99']:.0f} ms, "
                          f"ramp {f['ramp']:.1f} s; benchmark processes: {len(outputs)}, "
                          f"{f['own_cpu']:.0f} % of a core, {f['client_mb']:.0f} MiB")
                t.add(f"{label}: presence beats, p50 / p99 (ms) through PgBouncer",
                      f"{f['beat50']:.2f} / {f['beat99']:.2f}", "",
                      how=f"{f['beats']:.0f} beats in the window ({f['beats'] / window:.1f} a "
                          f"second), {presence_calls:.0f} seen by the server; its execution "
                          f"time {presence_ms / window / 10:.2f} % of a core, "
                          f"{presence_share * 100:.1f} % of all statements' (pg_stat_statements)")
        if (self.max_connections, self.statement_times) != (100, False):
            self.restart_postgres(100)

    def sqlite_copies(self):
        window = 10 if self.quick else 20
        levels = "10,100" if self.quick else "10,50,200,500"
        rate = self.args.posts_per_hour
        path = os.path.join(self.work, "shared.vmo")
        env = self.odbc_env("copies", self.sqlite_dsn(path))
        self.bench("make", f"sqlite:{path}", 0, "C00000", env=env)
        with sqlite3.connect(path) as db:
            db.executemany("INSERT INTO USRS VALUES(?)", [(f"C{i:05d}",) for i in range(1, 1000)])
        out = self.run([os.path.join(self.bin, "vimo_bench_copies"), levels, window, rate],
                       env=env, timeout=900)
        t = self.table
        t.section(f"Many copies on one shared SQLite file (local disk): the same load, each copy "
                  f"the program's store on a thread of its own, {window} s window, then all "
                  "copies post at the same moment")
        for (count, refused, polls, p50, p99, all99, busy, errors, posts, burst_failed,
             burst_busy, burst50, burst_max, gave_up) in rows(out, "copies"):
            t.add(f"{count:.0f} copies: poll p50 / p99 (ms)", f"{p50:.2f} / {p99:.2f}", "",
                  how=f"{polls:.0f} polls, every operation (poll, receipts, deletion, Send) "
                      f"p99 {all99:.2f} ms; {posts:.0f} posts")
            t.add(f"{count:.0f} copies: busy / other errors in the window", f"{busy:.0f} / "
                  f"{errors:.0f}", "", how="SQLITE_BUSY after the data source's 5 s wait")
            t.add(f"{count:.0f} copies posting at once: failed posts, median / slowest post (ms)",
                  f"{burst_failed:.0f}, {burst50:.0f} / {burst_max:.0f}", "",
                  how=f"{burst_busy:.0f} busy errors; {gave_up:.0f} gave up after the program's "
                      "8 tries on taken keys")

    def share_copies(self, envs, count, method, interval_ms, poll_ms, seconds, start_at):
        """count copies of vimo_bench_share, spread over the environments (one a mount)."""
        return [subprocess.Popen([os.path.join(self.bin, "vimo_bench_share"), "copy", method,
                                  str(interval_ms), str(poll_ms), str(seconds), f"C{n + 1:05d}",
                                  f"{start_at:.0f}"], env=envs[n % len(envs)],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
                for n in range(count)]

    def share(self):
        """What it costs a shared data file that copies ask it between polls whether anything
        was written, and what that does to posting, through FUSE mounts of the file's folder."""
        t = self.table
        folder = os.path.join(self.work, "share")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "office.vmo")
        self.bench("make", f"sqlite:{path}", 0, "USER001",
                   env=self.odbc_env("share-make", self.sqlite_dsn(path)))
        with sqlite3.connect(path) as db:
            db.executemany("INSERT INTO USRS VALUES(?)", [(f"C{i:05d}",) for i in range(1, 100)])
        db.close()
        program_ms = int(self.run([os.path.join(self.bin, "vimo_bench_share"), "interval"])
                         .strip())
        mounts = os.path.join(self.work, "mounts")

        def env_on(mount, name):
            return self.odbc_env(name, self.sqlite_dsn(os.path.join(mount.mount_point,
                                                                    "office.vmo")))

        # What one check costs the share: every operation a mount forwards, counted in its log
        # between the window's two marks.
        t.section("A data file on a network share: what asking it whether anything was "
                  "written costs, per check, through a FUSE mount (bindfs) that logs each "
                  "operation")
        debug_log = os.path.join(self.work, "share-operations.log")
        per_check = {}
        with FuseShare(folder, os.path.join(mounts, "counted"), debug_log=debug_log) as mount:
            env = env_on(mount, "share-counted")
            for method, how in (("counter", "the program's check: open, read the header's "
                                 "change counter, close"),
                                ("data-version", "PRAGMA data_version on the copy's own link"),
                                ("stat", "the file's size and modification time (stat)"),
                                ("poll", "for comparison: the program's poll itself")):
                copy = self.share_copies([env], 1, method, 100, 0, 3 if self.quick else 5,
                                         time.time() * 1000 + 300)[0]
                row = rows(copy.communicate(timeout=120)[0], "share")[0]
                time.sleep(0.5)
                with open(debug_log, "rb") as log:
                    text = log.read()
                begin = text.rfind(b"office.vmo-window-begin")
                end = text.rfind(b"office.vmo-window-end")
                ops, locks, read = count_operations(debug_log, begin, end)
                checks = row[1]
                per_check[method] = (sum(ops.values()) / checks, locks / checks, read / checks)
                t.add(f"{method}: file system operations / locks / bytes read per check",
                      f"{per_check[method][0]:.1f} / {per_check[method][1]:.1f} / "
                      f"{per_check[method][2]:,.0f}", "",
                      how=f"{how}; {checks:.0f} checks; "
                          + ", ".join(f"{k} {v / checks:.1f}" for k, v in sorted(ops.items()))
                          + f"; {row[4]:.2f} ms a check (p50)")
        for interval in (250, 500, 1000, 2000):
            ops, locks, read = (50 * v * 1000 / interval for v in per_check["counter"])
            d_ops, d_locks, _ = (50 * v * 1000 / interval for v in per_check["data-version"])
            t.add(f"50 copies checking every {interval} ms: operations / locks / KiB read per "
                  "second on the share", f"{ops:,.0f} / {locks:.0f} / {read / 1024:,.0f}",
                  f"{d_ops:,.0f} / {d_locks:.0f}", ratio="",
                  how=f"the program's check{' (its interval)' if interval == program_ms else ''}"
                      f"; reference: PRAGMA data_version; a note then waits {interval / 2000:g} "
                      f"s on average and {interval / 1000:g} s at most for its poll")

        # What it does to posting: 8 posters as fast as they can, while 50 copies ask. Each
        # process on a mount of its own, as on a machine of its own (tests/harness/fuseshare.py).
        seconds = 3 if self.quick else 8
        t.section(f"Posting through FUSE mounts while 50 copies ask the file: 8 posters, "
                  f"{seconds} s, as fast as they can; each copy and poster on a mount of its own")
        own = [FuseShare(folder, os.path.join(mounts, f"m{n}")) for n in range(58)]
        try:
            for mount in own:
                mount.mount()
            envs = [env_on(m, f"share-{n}") for n, m in enumerate(own)]
            cases = [("no copies", "none", 0, 0),
                     (f"50 copies, the program's check every {program_ms} ms", "counter",
                      program_ms, 50),
                     (f"50 copies, PRAGMA data_version every {program_ms} ms", "data-version",
                      program_ms, 50),
                     ("50 copies, the program's check every 250 ms", "counter", 250, 50)]
            baseline = None
            for label, method, interval, count in cases:
                start_at = time.time() * 1000 + 3000 + count * 60
                copies = self.share_copies(envs[8:], count, method, interval, 20000,
                                           seconds + 2, start_at - 1000)
                posters = [subprocess.Popen([os.path.join(self.bin, "vimo_bench_store"), "post",
                                             f"sqlite:{path}", "odbc", str(seconds),
                                             f"{start_at:.0f}"], env=envs[n],
                                            stdout=subprocess.PIPE, text=True)
                           for n in range(8)]
                posted = [rows(p.communicate(timeout=300)[0], "post")[0] for p in posters]
                asked = [rows(c.communicate(timeout=300)[0], "share") for c in copies]
                asked = [r[0] for r in asked if r]
                stored = sum(r[1] for r in posted) / seconds
                slowest = max(r[7] for r in posted)
                p99 = statistics.median(r[5] for r in posted)
                failed = sum(r[3] for r in posted)
                baseline = baseline or (stored, p99, slowest)
                t.add(f"{label}: notes stored per second", stored, baseline[0],
                      how="reference: the same posters with no copy asking")
                t.add(f"{label}: p99 / slowest post (ms), failed posts",
                      f"{p99:.0f} / {slowest:.0f}, {failed:.0f}",
                      f"{baseline[1]:.0f} / {baseline[2]:.0f}", ratio="",
                      how=(f"{len(asked)} copies asked {sum(r[1] for r in asked):,.0f} times, "
                           f"saw a change {sum(r[2] for r in asked):,.0f} times and polled "
                           f"{sum(r[3] for r in asked):,.0f} times; "
                           f"{sum(r[8] for r in asked):.0f} failed") if count
                      else "p99: median over the posters")
        finally:
            for mount in own:
                mount.unmount()

    def delivery_copies(self, dsns, notes, seed, lead_ms):
        """ANN and BOB, each signed in on a desktop of their own and on a data source of their
        own (dsns); ANN writes BOB notes through her "New Vimo" dialog. The delivery of each,
        in ms (-1: never came)."""
        displays = self.displays[:2]
        copies = []
        try:
            for index, name in enumerate(("ann", "bob")):
                self.desktop("start", index)
                env = self.odbc_env(f"delivery-{name}", dsns[index], {
                    "DISPLAY": f":{displays[index]}", "QT_QPA_PLATFORM": "xcb"})
                with open(os.path.join(self.work, f"delivery-{name}.log"), "w") as log_file:
                    copies.append((subprocess.Popen(
                        [os.path.join(self.build, "src", "app", "vimo")], env=env,
                        stdout=subprocess.DEVNULL, stderr=log_file), env))
                # Only a mapped window takes the focus: a window found before it is mapped
                # fails SetInputFocus with BadMatch.
                self.run(["timeout", "30", "xdotool", "search", "--sync", "--onlyvisible",
                          "--name", "^Login & Identification$", "windowfocus", "--sync"], env=env)
                self.run(["xdotool", "type", "--delay", "5", name], env=env)
                self.run(["xdotool", "key", "Tab", "Tab", "space"], env=env)
                # The tray window's title is the tooltip, once the first poll has run.
                self.run(["timeout", "30", "xdotool", "search", "--sync", "--name",
                          "Vimos? Active$"], env=env)
            out = self.run([os.path.join(self.bin, "vimo_bench_delivery"), f":{displays[0]}",
                            f":{displays[1]}", "bob", notes, seed, lead_ms, "--",
                            os.path.join(self.build, "src", "app", "vimo")], env=copies[0][1],
                           timeout=900)
            return [ms for _, ms in rows(out, "delivery")]
        finally:
            for process, env in copies:
                subprocess.run([os.path.join(self.build, "src", "app", "vimo"), "--quit"], env=env,
                               capture_output=True, timeout=30)
                try:
                    process.wait(15)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
            for index in range(len(copies)):
                self.desktop("stop", index)

    def delivery_store(self, kind, trigger=True):
        """A store with ANN and BOB and nothing else; on PostgreSQL, the administrator's schema
        with its wake-up trigger, or without the trigger."""
        if kind in ("sqlite", "fuse"):
            os.makedirs(os.path.join(self.work, "delivery"), exist_ok=True)
            path = os.path.join(self.work, "delivery", "delivery.vmo")
            if os.path.exists(path):
                os.remove(path)
            env = self.odbc_env("delivery-make", self.sqlite_dsn(path))
            self.bench("make", f"sqlite:{path}", 0, "ANN", env=env)
            with sqlite3.connect(path) as db:
                db.execute("DELETE FROM USRS")
                db.executemany("INSERT INTO USRS VALUES(?)", [("ANN",), ("BOB",)])
            return self.sqlite_dsn(path)
        env = self.odbc_env("delivery-make", self.pg_dsn(self.pg_port))
        self.bench("make", "postgres:" + self.pg_conninfo(self.pg_port), 0, "ANN", env=env)
        psql = [f"{self.pg_bin}/psql", "-q", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1", "-p",
                str(self.pg_port), "-U", "postgres", "vimo"]
        schema = os.path.join(SOURCE, "resources", "postgresql-schema.sql")
        with open(schema) as statements:
            result = self.as_postgres(psql, input=statements.read())
        fix = "DELETE FROM USRS; INSERT INTO USRS VALUES('ANN'),('BOB');"
        if not trigger:
            fix += "DROP TRIGGER MSGS_WAKEUP ON MSGS;"
        result2 = self.as_postgres(psql + ["-c", fix])
        if result.returncode or result2.returncode:
            raise Failure("the delivery store: " + result.stderr + result2.stderr)
        return None

    def delivery(self):
        main, other = (20, 10) if self.quick else (50, 20)
        t = self.table
        t.section("Delivery: ANN sends BOB notes from her \"New Vimo\" dialog, each copy on a "
                  "desktop of its own; from Send to the note's window on BOB's desktop")
        pg = self.pg_dsn(self.pg_port)
        bouncer = self.pg_dsn(self.bouncer_port)
        # (what, store, wake-up on, data source, notes, the poll alone is expected)
        runs = [
            ("PostgreSQL with the wake-up trigger", "postgres", True, pg, main, False),
            ("PostgreSQL without the trigger", "postgres", False, pg, other, True),
            ("PostgreSQL through PgBouncer (transaction pooling), with the trigger", "postgres",
             True, bouncer, other, True),
            ("PostgreSQL through PgBouncer, ListenPort straight to the server", "postgres", True,
             bouncer + f"ListenPort={self.pg_port}\n", other, False),
            ("SQLite file on a local disk, watched", "sqlite", True, None, main, False),
            ("SQLite file, Listen=0", "sqlite", False, None, other, True),
            # A share without change events: each copy through a FUSE mount of its own.
            ("SQLite file through FUSE mounts, Listen=0 (the poll alone, as before the change "
             "check)", "fuse", False, None, other, True),
            ("SQLite file through FUSE mounts, the change check", "fuse", True, None, main,
             False),
        ]
        if self.args.only_delivery:
            runs = [r for r in runs if r[1] in self.args.only_delivery.split(",")]
        for number, (label, kind, wakeup, dsn, notes, polled) in enumerate(runs):
            log(f"-- {label}")
            sqlite_dsn = self.delivery_store(kind, trigger=wakeup)
            dsns = [dsn, dsn]
            mounts = []
            if kind == "sqlite":
                dsns = [sqlite_dsn + ("" if wakeup else "Listen=0\n")] * 2
            elif kind == "fuse":
                folder = os.path.join(self.work, "delivery")
                mounts = [FuseShare(folder, os.path.join(self.work, "mounts", f"delivery-{n}"))
                          for n in ("ann", "bob")]
                for mount in mounts:
                    mount.mount()
                dsns = [self.sqlite_dsn(os.path.join(m.mount_point, "delivery.vmo"))
                        + ("" if wakeup else "Listen=0\n") for m in mounts]
            try:
                # Where only the poll brings the notes, they start at a random point of its
                # period.
                ms = self.delivery_copies(dsns, notes, 1000 + number, 20000 if polled else 0)
            finally:
                for mount in mounts:
                    mount.unmount()
            came = sorted(m for m in ms if m >= 0)
            if not came:
                raise Failure(f"{label}: no note arrived")
            t.add(f"{label}: delivery median / p90 / slowest (s)",
                  f"{statistics.median(came) / 1000:.2f} / "
                  f"{came[int(0.9 * (len(came) - 1) + 0.5)] / 1000:.2f} / {came[-1] / 1000:.2f}",
                  "", how=f"{len(ms)} notes at random gaps of 0.2-1.2 s"
                          + (", from a random point of the poll's 20 s" if polled else "")
                          + f"; {len(ms) - len(came)} never came")

    # The whole run

    def main(self):
        began = time.monotonic()
        self.setup()
        try:
            self.start_postgres()
            self.start_bouncer()
            steps = [self.desktop_figures, self.poll_loop, self.queries, self.posters,
                     self.postgres_clients, self.wakeup_paths, self.sqlite_copies, self.share,
                     self.delivery]
            if self.args.only:
                steps = [s for s in steps if s.__name__ in self.args.only.split(",")]
            loads = []
            for step in steps:
                log(f"== {step.__name__}")
                before = open("/proc/loadavg").read().split()[0]
                step()
                loads.append(f"{step.__name__} {before}-{open('/proc/loadavg').read().split()[0]}")
            # The machine is shared: what else ran beside each step, as the 1-minute load.
            self.machine["load by step"] = ", ".join(loads)
        finally:
            self.stop_all()
            self.desktop("stop")
        self.machine["load at end"] = " ".join(open("/proc/loadavg").read().split()[:3])
        self.machine["run time"] = f"{time.monotonic() - began:.0f} s" + \
            (" (--quick)" if self.quick else "")
        report = ["Machine: " + "; ".join(f"{k}: {v}" for k, v in self.machine.items()), "",
                  self.table.markdown()]
        text = "\n".join(report)
        with open(os.path.join(self.work, "table.md"), "w") as out:
            out.write(text + "\n")
        print(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--work", default=None)
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--only", help="comma-separated step names")
    parser.add_argument("--before", help="desktop_figures: another build's vimo, measured in "
                        "the same alternating runs (the program before a change)")
    parser.add_argument("--runs", type=int, help="desktop_figures: alternating runs at idle "
                        "(default 7, --quick 3)")
    parser.add_argument("--notes", type=lambda text: [int(n) for n in text.split(",")],
                        help="desktop_figures: the numbers of open notes measured, "
                        "comma-separated (default 100,500, --quick 100)")
    parser.add_argument("--only-delivery", help="the delivery step's stores: comma-separated "
                        "among postgres, sqlite, fuse")
    parser.add_argument("--ports", type=int, nargs=2, default=[55460, 55461],
                        help="PostgreSQL and PgBouncer ports")
    parser.add_argument("--broker-port", type=int, default=55462, help="wakeup_paths' Mosquitto")
    parser.add_argument("--only-wakeup", help="wakeup_paths' paths: comma-separated among "
                        "broker, listening")
    parser.add_argument("--wakeup-levels", type=lambda text: [int(n) for n in text.split(",")],
                        help="wakeup_paths' numbers of copies (default 1000,10000, --quick "
                        "100,1000)")
    parser.add_argument("--displays", type=int, nargs=2, default=[135, 136])
    parser.add_argument("--posts-per-hour", type=float, default=4.0)
    parser.add_argument("--psqlodbc", default="/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so")
    args = parser.parse_args()
    args.work = args.work or os.path.join(args.build, "bench-work")
    try:
        Suite(args).main()
    except Failure as failure:
        print(f"bench: {failure}", file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
