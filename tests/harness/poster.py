"""The program's own posting in a loop (vimo_bench_stress loop) on one data source, as a
third process beside the copies while a cluster fails over: the failover bench measures it,
the cluster's fault run watches that it posts again."""

import os
import subprocess


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
