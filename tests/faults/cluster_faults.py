"""The fault run on a replicated PostgreSQL cluster (scripts/cluster.py): the primary dies, or
is switched over, under the two copies and a third process that posts in a loop."""

import os
import sys
import time

from copies import ACTIVE_TIP, OUTAGE_TIP
from stores import PostgresStore

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "..", "scripts"), os.path.join(HERE, "..", "..", "bench")]

from cluster import DCS_SETTINGS, Cluster  # noqa: E402
from failover import Poster  # noqa: E402  (bench/failover.py)

SCHEMA = os.path.join(HERE, "..", "..", "resources", "postgresql-schema.sql")
# The failover manager's promise: a primary again within its TTL and one of its loops; a copy
# notices at its next poll.
BACK_WITHIN = DCS_SETTINGS["ttl"] + DCS_SETTINGS["loop_wait"] + 20 + 10


class ClusterStore(PostgresStore):
    """The store read and made through whichever node is the primary now."""

    def __init__(self, cluster, database):
        super().__init__(None, database)
        self.cluster = cluster

    def _psql(self, database, sql):
        rows = self.cluster.psql(database, sql)
        return [line.split("\x1f") for line in rows.splitlines() if line]

    def create(self):
        self.cluster.psql("postgres", f"CREATE DATABASE {self.database} ENCODING 'UTF8'")
        with open(SCHEMA) as schema:
            self.cluster.psql(self.database, schema.read())
        self._psql(self.database, "INSERT INTO USRS VALUES('ANN'),('BOB'),('CAT'),('DAN')")


class ClusterFaults:
    """Scenarios for Run (faults.py): --store cluster."""

    def cluster(self):
        self.pg_cluster = Cluster(port_base=self.args.cluster_ports, nodes=self.args.nodes).start()
        try:
            self.store = ClusterStore(self.pg_cluster, "vimo_failover")
            self.store.create()
            self.ledger = self.ledger_class(self.store)
            source = self.pg_cluster.data_source(self.store.database)
            for copy in self.copies:
                copy.environment["QT_LOGGING_RULES"] += ";vimo.wakeup.info=true"
                with open(copy.odbc_ini, "w") as odbc_ini:
                    odbc_ini.write(source)
            self.absorbed = []
            self.poster = Poster(self.args.poster, self.args.work, "loop", source,
                                 self.args.psqlodbc, 250)
            self.start_copies()
            cases = ["postmaster killed", "switchover"]
            if not self.args.short:
                cases[1:1] = ["primary and its Patroni killed"]
            for case in cases:
                self.failover(case)
        finally:
            self.stop_copies()
            if getattr(self, "poster", None):
                self.poster.stop()
            self.pg_cluster.stop()

    def absorb_posts(self, outcome):
        """The looping poster's notes so far, into the ledger: confirmed ones must be stored,
        and the ones under way may be."""
        rows = self.poster.rows()
        texts = [text for _, text, _, _ in rows] + [f"LOOP loop {len(rows) + n}" for n in (0, 1)]
        for text in texts:
            if text not in self.ledger.entries:
                self.ledger.add(text, "DAN")
                self.ledger.entries[text].wanted = False
        for stored, text, _, _ in rows[len(self.absorbed):]:
            self.absorbed.append(text)
            self.ledger.entries[text].wanted |= stored
            outcome.confirmed += stored

    def failover(self, case):
        bob, ann, cluster = self.bob, self.ann, self.pg_cluster
        with self.fault(case) as outcome:
            old = self.wait(cluster.primary, 120)
            self.wait(lambda: all(cluster.streaming(n) for n in cluster.names if n != old), 180)
            self.wait(cluster.sync_standby, 60)
            before = self.note_text("before")
            self.post(ann, "BOB", before)
            self.delivered(bob, before)
            text = self.note_text(case)
            dialog = self.write(ann, "BOB", text)
            outcome.watch, at = {}, time.monotonic()
            outcome.started = at
            if case == "switchover":
                cluster.switchover()
            elif case == "postmaster killed":
                cluster.kill_postmaster(old)
            else:
                cluster.kill_node(old)
            result = self.post(ann, "BOB", text, dialog=dialog)
            self.post_until_stored(ann, "BOB", text, result, tries=30)
            outcome.confirmed += sum(self.ledger.entries[t].wanted for t in (before, text))
            new = self.wait(lambda: (p := cluster.primary()) != old and p, 120)
            outcome.figures["new primary after"] = f"{time.monotonic() - at:.0f} s ({new})"
            self.delivered(bob, text, timeout=BACK_WITHIN)
            outcome.figures["first note delivered after"] = \
                f"{time.monotonic() - at:.0f} s"
            if case.startswith("primary and"):
                cluster.start_node(old)
            outcome.check(self.wait(lambda: cluster.streaming(old), 240),
                          f"{old} did not come back as a standby")
            back = self.poster.back_after(at)
            outcome.figures["loop posts stored again after"] = \
                "-" if back is None else f"{back:.0f} s"
            for copy in self.copies:
                shown = outcome.watch.get(copy.name, [at, at])
                outcome.figures[f"{copy.name} showed the outage"] = \
                    f"{shown[1] - shown[0]:.0f} s" if shown[1] > at else "no"
                outcome.recovery[copy.name] = f"{shown[1] - at:.0f} s"
                outcome.check(shown[1] - at < BACK_WITHIN and ACTIVE_TIP.match(copy.tooltip()),
                              f"{copy.name} was not back within {BACK_WITHIN} s")
                # The wake-up link follows within its longest pause between tries.
                listening = self.wait(lambda: self.listening_since(copy, at), 70)
                outcome.figures[f"{copy.name}'s wake-up link back after"] = \
                    f"{listening - at:.0f} s" if listening else "no"
                outcome.check(listening, f"{copy.name}'s wake-up link did not come back")

    @staticmethod
    def listening_since(copy, moment):
        copy.read_log()
        return next((t for t, category, line in copy.records if t > moment and
                     category == "vimo.wakeup" and line.startswith("listening for")), None)

    def watch_outage(self):
        """Notes when each copy's tray says the store is out of reach."""
        for copy in self.copies:
            tip = copy.tooltip() if copy.is_running() else None
            if tip and OUTAGE_TIP.match(tip):
                seen = self.current.watch.setdefault(copy.name, [time.monotonic()] * 2)
                seen[1] = time.monotonic()

    def cluster_table(self):
        names = [k for o in self.outcomes for k in o.figures]
        columns = list(dict.fromkeys(names))
        rows = ["| fault | notes confirmed | stored | lost | doubled | " + " | ".join(columns)
                + " |", "|---|---:|---:|---:|---:|" + "---|" * len(columns)]
        for o in self.outcomes:
            rows.append(f"| {o.fault} | {o.confirmed} | {o.confirmed - o.lost} | {o.lost} | "
                        f"{o.doubled} | "
                        + " | ".join(o.figures.get(c, "") for c in columns) + " |")
        return "\n".join(rows)
