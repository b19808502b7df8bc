#!/usr/bin/env python3
"""How a data source should follow a cluster's primary, and what Patroni's synchronous mode
costs a post. Two posters of the program's own posting run in a loop against one cluster
(tests/harness/cluster.py), one through every node in the data source (libpq keeps to the
node that takes writes), one through a HAProxy that asks Patroni's REST API. The primary is
killed (its postmaster; its Patroni with it) or switched over, and each route's figure is the
time from the fault to the first note stored again after its posts began to fail. Then the
time of one post with synchronous mode on and off.

  PYTHONPATH=tests python3 bench/failover.py --build BUILD [--port-base 25460] [--rounds 2]
      [--nodes 3]"""

import argparse
import os
import statistics
import subprocess
import sys
import time

from harness.cluster import Cluster, wait_until
from harness.poster import Poster

DATABASE = "vimo_bench"
ROUTES = ("hosts", "haproxy")
FAULTS = ("postmaster killed", "node killed", "switchover")


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
