#!/usr/bin/env python3
"""How a data source should follow a cluster's primary, and what Patroni's synchronous mode
costs a post. Two posters of the program's own posting run in a loop against one cluster
(scripts/cluster.py), one through every node in the data source (libpq keeps to the node that
takes writes), one through a HAProxy that asks Patroni's REST API. The primary is killed (its
postmaster; its Patroni with it) or switched over, and each route's figure is the time from
the fault to the first note stored again after its posts began to fail. Then the time of one
post with synchronous mode on and off.

  bench/failover.py --build BUILD [--port-base 25460] [--rounds 2] [--nodes 3]"""

import argparse
import os
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "scripts"))

from cluster import Cluster, wait_until  # noqa: E402

DATABASE = "vimo_bench"
ROUTES = ("hosts", "haproxy")
FAULTS = ("postmaster killed", "node killed", "switchover")


class Poster:
    """vimo_bench_stress loop on one data source: its rows as (stored, text, start, end) in
    seconds of time.monotonic()."""

    def __init__(self, program, work, name, data_source, psqlodbc, pause_ms):
        self.folder = os.path.join(work, name)
        os.makedirs(self.folder, exist_ok=True)
        with open(os.path.join(self.folder, "odbcinst.ini"), "w") as out:
            out.write(f"[PostgreSQL ANSI]\nDriver={psqlodbc}\n")
        with open(os.path.join(self.folder, "odbc.ini"), "w") as out:
            out.write(data_source)
        environment = {k: v for k, v in os.environ.items()
                       if not k.startswith(("QT_", "ODBC", "XDG_"))}
        environment.update(ODBCSYSINI=self.folder, HOME=self.folder, XDG_CONFIG_HOME=self.folder,
                           ODBCINI=os.path.join(self.folder, "odbc.ini"),
                           QT_QPA_PLATFORM="offscreen", TZ="UTC")
        self.name, self.given = name.upper(), 0
        self.stop_file = os.path.join(self.folder, "stop")
        self.output = os.path.join(self.folder, "posts.tsv")
        with open(self.output, "w") as out:
            self.process = subprocess.Popen(
                [program, "loop", self.name, "DAN",
                 self.stop_file, str(pause_ms)], env=environment, stdout=out,
                stderr=subprocess.DEVNULL)

    def rows(self):
        with open(self.output) as posts:
            lines = [line.rstrip("\n").split("\t") for line in posts if line.endswith("\n")]
        return [(kind == "stored", text, float(start) / 1000, float(end) / 1000)
                for kind, text, start, end, *_ in lines]

    def new_rows(self):
        """The rows not given before, and the texts of the posts that may be stored before
        whoever asks has looked at the store: the next ones, for some seconds."""
        rows = self.rows()
        fresh, self.given = rows[self.given:], len(rows)
        return fresh, [f"{self.name} loop {len(rows) + n}" for n in range(20)]

    def back_after(self, fault_at):
        """Seconds from the fault to the end of the first post stored after one refused; 0
        when none was refused; None while it is not back."""
        after = [r for r in self.rows() if r[3] >= fault_at]
        refused = [i for i, r in enumerate(after) if not r[0]]
        if not refused:
            return 0.0 if any(r[0] for r in after) else None
        stored = [r for r in after[refused[0]:] if r[0]]
        return stored[0][3] - fault_at if stored else None

    def stop(self):
        open(self.stop_file, "w").close()
        self.process.wait(timeout=120)


def healthy(cluster):
    """Every node back, streaming, and a synchronous standby chosen."""
    primary = cluster.wait_for_primary()
    for name in cluster.names:
        if name != primary:
            cluster.wait_for_standby(name)
    wait_until(cluster.sync_standby, 60, "a synchronous standby")
    return primary


def failover_round(cluster, posters, fault):
    old = healthy(cluster)
    time.sleep(3)  # posts going well on both routes
    at = time.monotonic()
    if fault == "postmaster killed":
        cluster.kill_postmaster(old)
    elif fault == "node killed":
        cluster.kill_node(old)
    else:
        cluster.switchover()
    new = cluster.wait_for_primary(180, other_than=old)
    promoted = time.monotonic() - at
    figures = {}
    for route, poster in posters.items():
        figures[route] = wait_until(lambda: (b := poster.back_after(at)) is not None and
                                    (b,), 120, f"{route} posts again")[0]
    if fault == "node killed":
        cluster.start_node(old)
    cluster.wait_for_standby(old)
    back = time.monotonic() - at
    return old, new, promoted, figures, back


def post_times(cluster, program, work, psqlodbc, synchronous, seconds):
    subprocess.run(["patronictl", "-c", os.path.join(cluster.folder, "node1", "patroni.yml"),
                    "edit-config", "-q", "--force", "-s",
                    f"synchronous_mode={'true' if synchronous else 'false'}"],
                   check=True, capture_output=True)
    wait_until(lambda: bool(cluster.psql(DATABASE, "SHOW synchronous_standby_names"))
               == synchronous, 60, "synchronous_standby_names to follow")
    poster = Poster(program, work, f"sync{int(synchronous)}_{int(time.monotonic())}",
                    cluster.data_source(DATABASE), psqlodbc, 0)
    time.sleep(seconds)
    poster.stop()
    # The first posts connect.
    return [(end - start) * 1000 for stored, _, start, end in poster.rows()[5:] if stored]


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True)
    parser.add_argument("--psqlodbc", default="/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so")
    parser.add_argument("--port-base", type=int, default=25460)
    parser.add_argument("--nodes", type=int, default=3, choices=(2, 3))
    parser.add_argument("--rounds", type=int, default=2)
    parser.add_argument("--post-seconds", type=int, default=20)
    parser.add_argument("--only", choices=("failover", "synchronous"),
                        help="one of the two measurements")
    args = parser.parse_args()
    work = os.path.join(os.path.abspath(args.build), "failover-bench")
    subprocess.run(["rm", "-rf", work])
    os.makedirs(work)
    program = os.path.join(args.build, "bench", "vimo_bench_stress")

    cluster = Cluster(port_base=args.port_base, nodes=args.nodes, haproxy=True)
    posters = {}
    try:
        cluster.start()
        cluster.create_database(DATABASE, ["DAN"])
        if args.only != "synchronous":
            posters = {route: Poster(program, work, route, cluster.data_source(DATABASE, route),
                                     args.psqlodbc, 100) for route in ROUTES}
            print("| fault | round | from | to | new primary after (s) | "
                  + " | ".join(f"first post stored, {r} (s)" for r in ROUTES)
                  + " | old primary streaming again after (s) |\n|---|---:|---|---|---:|"
                  + "---:|" * len(ROUTES) + "---:|", flush=True)
            for round_number in range(1, args.rounds + 1):
                for fault in FAULTS:
                    old, new, promoted, figures, back = failover_round(cluster, posters, fault)
                    print(f"| {fault} | {round_number} | {old} | {new} | {promoted:.1f} | "
                          + " | ".join(f"{figures[r]:.1f}" for r in ROUTES)
                          + f" | {back:.0f} |", flush=True)
            for poster in posters.values():
                poster.stop()
            posters = {}
        if args.only != "failover":
            print("\n| synchronous mode | posts | median (ms) | p90 (ms) |\n|---|---:|---:|---:|")
            for synchronous in (True, False, True, False):
                times = sorted(post_times(cluster, program, work, args.psqlodbc, synchronous,
                                          args.post_seconds))
                print(f"| {'on' if synchronous else 'off'} | {len(times)} | "
                      f"{statistics.median(times):.2f} | {times[int(len(times) * 0.9)]:.2f} |",
                      flush=True)
    finally:
        for poster in posters.values():
            poster.process.kill()
        cluster.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
