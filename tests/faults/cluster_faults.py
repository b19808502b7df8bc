"""The fault run on a replicated PostgreSQL cluster (tests/harness/cluster.py): the primary dies, or
is switched over, under the two copies and a third process that posts in a loop."""

import time

from harness.cluster import DCS_SETTINGS, Cluster
from harness.copies import ACTIVE_TIP, OUTAGE_TIP
from harness.poster import Poster
from harness.stores import PostgresStore

# The failover manager's promise, a primary again within its TTL and one of its loops, and a
# poll for the copy to notice; with some slack for a loaded machine.
BACK_WITHIN = DCS_SETTINGS["ttl"] + DCS_SETTINGS["loop_wait"] + 20 + 10


class ClusterFaults:
    """Scenarios for Run (faults.py): --store cluster."""
    poster = watch = None  # the loop; copy -> [first, last] moment its tray showed an outage

    def cluster(self):
        self.pg_cluster = Cluster(port_base=self.args.cluster_ports, nodes=self.args.nodes).start()
        try:
            self.store = PostgresStore(None, "vimo_failover")
            self.store._psql = self.pg_cluster.psql  # on the primary of the moment
            self.pg_cluster.create_database(self.store.database, ["ANN", "BOB", "CAT", "DAN"])
            self.ledger = self.ledger_class(self.store)
            source = self.pg_cluster.data_source(self.store.database)
            for copy in self.copies:
                copy.environment["QT_LOGGING_RULES"] += ";vimo.wakeup.info=true"
                with open(copy.odbc_ini, "w") as odbc_ini:
                    odbc_ini.write(source)
            self.poster = Poster(self.args.poster, self.args.work, "loop", source,
                                 self.args.psqlodbc, 250)
            self.start_copies()
            for case in ("postmaster killed", "primary and its Patroni killed", "switchover"):
                if not (self.args.short and case.startswith("primary and")):
                    self.failover(case)
        finally:
            self.stop_copies()
            if self.poster:
                self.poster.stop()
            self.pg_cluster.stop()

    def absorb_posts(self, outcome):
        """The loop's notes into the ledger: confirmed ones must be stored, others may be."""
        rows, under_way = self.poster.new_rows() if self.poster else ([], [])
        for stored, text in [(r[0], r[1]) for r in rows] + [(False, t) for t in under_way]:
            if text not in self.ledger.entries:
                self.ledger.add(text, "DAN")
                self.ledger.entries[text].wanted = False
            self.ledger.entries[text].wanted |= stored
            outcome.confirmed += stored

    def failover(self, case):
        bob, ann, cluster = self.bob, self.ann, self.pg_cluster
        with self.fault(case) as outcome:
            old = self.wait(cluster.primary, 120)
            self.wait(lambda: cluster.sync_standby() and all(
                cluster.streaming(n) for n in cluster.names if n != old), 180)
            text = self.note_text(case)
            dialog = self.write(ann, "BOB", text)
            self.watch, at = {}, time.monotonic()
            outcome.started, since = at, lambda: f"{time.monotonic() - at:.0f} s"
            if case == "switchover":
                cluster.switchover()
            else:
                (cluster.kill_postmaster if case == "postmaster killed" else cluster.kill_node)(old)
            result = self.post(ann, "BOB", text, dialog=dialog)
            outcome.confirmed += self.post_until_stored(ann, "BOB", text, result, 30) == "stored"
            new = self.wait(lambda: (p := cluster.primary()) != old and p, 120)
            outcome.figures["new primary"] = new
            self.delivered(bob, text, timeout=BACK_WITHIN)
            outcome.figures["first note delivered after"] = since()
            if case.startswith("primary and"):
                cluster.start_node(old)
            outcome.check(self.wait(lambda: cluster.streaming(old), 240),
                          f"{old} did not come back as a standby")
            back = self.poster.back_after(at)
            outcome.figures["loop posts stored again after"] = f"{back:.0f} s" if back is not None \
                else "no"
            for copy in self.copies:
                # A poll that failed just before the new primary came leaves the tray saying so
                # until the next one: back means back by the bound, not at this moment.
                active = self.wait(lambda: ACTIVE_TIP.match(copy.tooltip() or ""),
                                   at + BACK_WITHIN - time.monotonic())
                shown = self.watch.get(copy.name, [at, at])
                outcome.figures[f"{copy.name} showed the outage"] = f"{shown[1] - shown[0]:.0f} s"
                outcome.check(active, f"{copy.name} was not back within {BACK_WITHIN} s")
                # The wake-up link follows within its longest pause between tries.
                listening = self.wait(lambda: copy.read_log() or next(
                    (t for t, category, line in copy.records if t > at and category ==
                     "vimo.wakeup" and line.startswith("listening for")), None), 70)
                outcome.figures[f"{copy.name}'s wake-up link back after"] = \
                    f"{listening - at:.0f} s" if outcome.check(
                        listening, f"{copy.name}'s wake-up link did not come back") else "no"

    def watch_outage(self):
        """Notes when each copy's tray says the store is out of reach."""
        for copy in self.copies if self.watch is not None else ():
            if copy.is_running() and OUTAGE_TIP.match(copy.tooltip() or ""):
                self.watch.setdefault(copy.name, [time.monotonic()] * 2)[1] = \
                    time.monotonic()

    def cluster_table(self):
        columns = list(dict.fromkeys(k for o in self.outcomes for k in o.figures))
        rows = ["| fault | notes confirmed | stored | lost | doubled | " + " | ".join(columns)
                + " |", "|---|---:|---:|---:|---:|" + "---|" * len(columns)]
        rows += [f"| {o.fault} | {o.confirmed} | {o.confirmed - o.lost} | {o.lost} | "
                 f"{o.doubled} | " + " | ".join(o.figures.get(c, "") for c in columns) + " |"
                 for o in self.outcomes]
        return "\n".join(rows)
