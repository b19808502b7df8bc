#!/usr/bin/env python3
"""A replicated PostgreSQL cluster on this machine, on 127.0.0.1 only, as an office would run
it for Vimo: one etcd, two or three PostgreSQL nodes under Patroni in synchronous mode, and
optionally a HAProxy in front that asks Patroni which node is the primary. For trying the
data source "VIMO" against a failover by hand, and for the runs that measure and test one.

  PYTHONPATH=tests python3 tests/harness/cluster.py start [--nodes 3] [--port-base 25460]
      [--haproxy] [--asynchronous] [--database vimo --users ANN,BOB]
  PYTHONPATH=tests python3 tests/harness/cluster.py status|switchover|stop --folder FOLDER

Ports from the base: etcd +0 and +1, HAProxy +2, PostgreSQL +10 on, Patroni's REST API +20
on. As root, etcd and Patroni run as the user postgres in a folder made for them."""

import argparse
import glob
import json
import os
import pwd
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

SCOPE = "vimo"
# What was tested: a node whose postmaster dies is failed over at once rather than restarted
# in place, and only a synchronous standby is promoted, so no confirmed commit is lost.
DCS_SETTINGS = {
    "ttl": 30,
    "loop_wait": 10,
    "retry_timeout": 10,
    "maximum_lag_on_failover": 1048576,
    "primary_start_timeout": 0,
    "synchronous_mode": True,
    "postgresql": {
        "use_pg_rewind": True,
        "use_slots": True,
        "parameters": {"wal_log_hints": "on", "max_connections": 100},
    },
}
SCHEMA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                      "resources", "postgresql-schema.sql")
HBA = ["local all all trust", "host all all 127.0.0.1/32 trust",
       "host replication all 127.0.0.1/32 trust"]


def as_owner():
    """The user that etcd and PostgreSQL run as: postgres when we are root."""
    return "postgres" if os.geteuid() == 0 else None


def server_bin():
    found = sorted(glob.glob("/usr/lib/postgresql/*/bin/postgres"))
    if not found:
        raise RuntimeError("PostgreSQL server binaries not found")
    return os.path.dirname(found[-1])


def http(url, method="GET", timeout=2):
    """The status and JSON body of a REST call; status 0 when nothing answered."""
    request = urllib.request.Request(url, method=method)
    try:
        with urllib.request.urlopen(request, timeout=timeout) as answer:
            status, body = answer.status, answer.read()
    except urllib.error.HTTPError as error:
        status, body = error.code, error.read()
    except (OSError, ValueError):
        return 0, None
    try:
        return status, json.loads(body or b"null")
    except ValueError:
        return status, None


def wait_until(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise RuntimeError(f"waited {timeout:g} s for {what}")
        time.sleep(0.2)


class Cluster:
    def __init__(self, folder=None, port_base=25460, nodes=3, haproxy=False,
                 synchronous=True, parameters=None):
        self.port_base = port_base
        self.names = [f"node{i + 1}" for i in range(nodes)]
        self.haproxy = haproxy
        self.synchronous = synchronous
        self.parameters = dict(parameters or {})
        self.owned_folder = folder is None
        self.folder = folder or tempfile.mkdtemp(prefix="vimo-cluster-")
        self.processes = {}  # "etcd", "haproxy", node name -> Popen
        self.pids = {}

    # Ports

    @property
    def etcd_port(self):
        return self.port_base

    @property
    def proxy_port(self):
        return self.port_base + 2

    def pg_port(self, name):
        return self.port_base + 10 + self.names.index(name)

    def api(self, name, path=""):
        return f"http://127.0.0.1:{self.port_base + 20 + self.names.index(name)}/{path}"

    # The data source "VIMO" for it

    def data_source(self, database, route="hosts"):
        """Every node in the data source, and libpq keeps to the one that takes writes; or
        the HAProxy's one port."""
        if route == "haproxy":
            where = f"Servername=127.0.0.1\nPort={self.proxy_port}\n"
        else:
            # psqlODBC keeps only a few characters of Port: several ports go through pqopt.
            ports = ",".join(str(self.pg_port(n)) for n in self.names)
            where = (f"Servername={','.join('127.0.0.1' for _ in self.names)}\n"
                     f"pqopt=port={ports} target_session_attrs=read-write\n")
        return ("[VIMO]\nDriver=PostgreSQL ANSI\nDescription=Vimo File\n" + where +
                f"Database={database}\nUsername=postgres\nPassword=\n"
                "ConnSettings=SET client_encoding TO 'UTF8'\n")

    def conninfo(self, database):
        hosts = ",".join("127.0.0.1" for _ in self.names)
        ports = ",".join(str(self.pg_port(n)) for n in self.names)
        return (f"host={hosts} port={ports} dbname={database} user=postgres "
                "target_session_attrs=read-write connect_timeout=5")

    # Processes

    def _spawn(self, key, command, log):
        with open(os.path.join(self.folder, log), "ab") as out:
            user = as_owner()
            self.processes[key] = subprocess.Popen(
                command, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                cwd=self.folder, start_new_session=True,
                env=dict(os.environ, HOME=self.folder, PGUSER="postgres"),
                **({"user": user, "group": user, "extra_groups": []} if user and key != "haproxy"
                   else {}))
        self.pids[key] = self.processes[key].pid
        self._save()

    def _save(self):
        with open(os.path.join(self.folder, "cluster.json"), "w") as state:
            json.dump({"port_base": self.port_base, "nodes": len(self.names),
                       "haproxy": self.haproxy, "pids": self.pids}, state)

    @classmethod
    def load(cls, folder):
        with open(os.path.join(folder, "cluster.json")) as state:
            saved = json.load(state)
        cluster = cls(folder, saved["port_base"], saved["nodes"], saved["haproxy"])
        cluster.owned_folder = True
        cluster.pids = saved["pids"]
        return cluster

    def start(self):
        # A cluster left running on these ports by a run that was killed goes first.
        marker = os.path.join(tempfile.gettempdir(), f"vimo-cluster-{self.port_base}")
        left = _made_here(marker)
        if left:
            try:
                Cluster.load(left).stop()
            except (OSError, ValueError, KeyError):
                pass
        if os.path.lexists(marker) and os.lstat(marker).st_uid == os.geteuid():
            os.remove(marker)
        os.symlink(self.folder, marker)
        if as_owner():
            shutil.chown(self.folder, as_owner(), as_owner())
        os.chmod(self.folder, 0o700)
        peer = f"http://127.0.0.1:{self.port_base + 1}"
        self._spawn("etcd", [
            "etcd", "--name", "etcd", "--data-dir", os.path.join(self.folder, "etcd"),
            "--listen-client-urls", f"http://127.0.0.1:{self.etcd_port}",
            "--advertise-client-urls", f"http://127.0.0.1:{self.etcd_port}",
            "--listen-peer-urls", peer, "--initial-advertise-peer-urls", peer,
            "--initial-cluster", f"etcd={peer}"], "etcd.log")
        wait_until(lambda: http(f"http://127.0.0.1:{self.etcd_port}/health")[0] == 200, 30,
                   "etcd")
        for name in self.names:
            self._write_node(name)
            self.start_node(name)
            # One at a time: the first bootstraps, the others clone from it.
            wait_until(lambda: self.member_state(name) in ("running", "streaming"), 120,
                       f"{name} to run")
        if self.haproxy:
            self._write_haproxy()
            self._spawn("haproxy", ["haproxy", "-db", "-f",
                                    os.path.join(self.folder, "haproxy.cfg")], "haproxy.log")
        if self.synchronous:
            wait_until(self.sync_standby, 60, "a synchronous standby")
        return self

    def _write_node(self, name):
        node = os.path.join(self.folder, name)
        os.makedirs(node, exist_ok=True)
        dcs = json.loads(json.dumps(DCS_SETTINGS))
        dcs["synchronous_mode"] = self.synchronous
        dcs["postgresql"]["parameters"].update(self.parameters)
        pg = f"127.0.0.1:{self.pg_port(name)}"
        rest = self.api(name).split("//")[1].rstrip("/")
        config = {
            "scope": SCOPE, "name": name,
            "restapi": {"listen": rest, "connect_address": rest},
            "etcd3": {"hosts": [f"127.0.0.1:{self.etcd_port}"]},
            "bootstrap": {"dcs": dcs, "initdb": [{"encoding": "UTF8"}, {"locale": "C.UTF-8"},
                                                 "data-checksums"], "pg_hba": HBA},
            "postgresql": {
                "listen": pg, "connect_address": pg,
                "data_dir": os.path.join(node, "data"), "bin_dir": server_bin(),
                "pgpass": os.path.join(node, "pgpass"),
                "authentication": {"superuser": {"username": "postgres", "password": "postgres"},
                                   "replication": {"username": "replicator",
                                                   "password": "replicator"}},
                "parameters": {"unix_socket_directories": node},
                "pg_hba": HBA,
            },
        }
        # JSON is YAML too.
        with open(os.path.join(node, "patroni.yml"), "w") as out:
            json.dump(config, out, indent=1)
        if as_owner():
            shutil.chown(node, as_owner(), as_owner())

    def _write_haproxy(self):
        # The check Patroni's documentation gives: the primary alone answers 200 on /primary,
        # and connections to a node marked down are cut.
        servers = "".join(
            f"    server {n} 127.0.0.1:{self.pg_port(n)} maxconn 1000 check port "
            f"{self.port_base + 20 + self.names.index(n)}\n" for n in self.names)
        with open(os.path.join(self.folder, "haproxy.cfg"), "w") as out:
            out.write(f"""global
    maxconn 2000
defaults
    mode tcp
    retries 2
    timeout connect 4s
    timeout client 24h
    timeout server 24h
    timeout check 2s
listen primary
    bind 127.0.0.1:{self.proxy_port}
    option httpchk OPTIONS /primary
    http-check expect status 200
    default-server inter 3s fall 3 rise 2 on-marked-down shutdown-sessions
{servers}""")

    def start_node(self, name):
        self._spawn(name, ["patroni", os.path.join(self.folder, name, "patroni.yml")],
                    os.path.join(name, "patroni.log"))

    def postmaster(self, name):
        try:
            with open(os.path.join(self.folder, name, "data", "postmaster.pid")) as pid_file:
                return int(pid_file.readline())
        except (OSError, ValueError):
            return None

    def kill_postmaster(self, name):
        os.kill(self.postmaster(name), signal.SIGKILL)

    def kill_node(self, name):
        """The node's machine dies: its Patroni and its postmaster at once."""
        postmaster = self.postmaster(name)
        os.kill(self.pids[name], signal.SIGKILL)
        os.kill(postmaster, signal.SIGKILL)
        if name in self.processes:
            self.processes[name].wait()

    def stop(self):
        # Every node at once: one by one, each leader's stop would start a failover. A pid
        # read back from a folder is signalled only while its command names the folder.
        for keys in ([n for n in self.names if n in self.pids], ["haproxy", "etcd"]):
            ending = [(key, self.pids.pop(key)) for key in keys if key in self.pids]
            ending = [(key, pid) for key, pid in ending if self._runs_here(pid)]
            for _, pid in ending:
                _signal(pid, signal.SIGTERM)
            for key, pid in ending:
                try:
                    wait_until(lambda: not _alive(pid, self.processes.get(key)), 30, key)
                except RuntimeError:
                    _signal(pid, signal.SIGKILL)
        for name in self.names:
            postmaster = self.postmaster(name)
            if postmaster and self._runs_here(postmaster):
                _signal(postmaster, signal.SIGKILL)
        if self.owned_folder:
            shutil.rmtree(self.folder, ignore_errors=True)
        marker = os.path.join(tempfile.gettempdir(), f"vimo-cluster-{self.port_base}")
        if os.path.islink(marker) and os.readlink(marker) == self.folder:
            os.remove(marker)

    def _runs_here(self, pid):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as command:
                return self.folder.encode() in command.read()
        except OSError:
            return False

    # What Patroni says

    def members(self):
        for name in self.names:
            status, body = http(self.api(name, "cluster"))
            if status == 200 and body:
                return body.get("members", [])
        return []

    def member_state(self, name):
        return next((m.get("state") for m in self.members() if m["name"] == name), None)

    def primary(self):
        """The node that serves writes now, or None."""
        for name in self.names:
            if http(self.api(name, "primary"), timeout=1)[0] == 200:
                return name
        return None

    def sync_standby(self):
        return next((m["name"] for m in self.members() if m.get("role") == "sync_standby"),
                    None)

    def wait_for_primary(self, timeout=120, other_than=None):
        return wait_until(lambda: (p := self.primary()) and p != other_than and p, timeout,
                          "a primary" + (f" other than {other_than}" if other_than else ""))

    def streaming(self, name):
        """True when the node runs as a standby of the primary."""
        return http(self.api(name, "replica"), timeout=1)[0] == 200

    def wait_for_standby(self, name, timeout=180):
        return wait_until(lambda: self.streaming(name), timeout, f"{name} to stream as a standby")

    def switchover(self, candidate=None):
        leader = self.primary()
        candidate = candidate or self.sync_standby() or \
            next(n for n in self.names if n != leader)
        result = subprocess.run(
            ["patronictl", "-c", os.path.join(self.folder, self.names[0], "patroni.yml"),
             "switchover", SCOPE, "--leader", leader, "--candidate", candidate, "--force"],
            capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError(f"patronictl switchover: {result.stdout}{result.stderr}")
        return leader, candidate

    def create_database(self, database, users=()):
        """A database with Vimo's tables and wake-up trigger, and the users named."""
        self.psql("postgres", f"CREATE DATABASE {database} ENCODING 'UTF8'")
        with open(SCHEMA) as schema:
            self.psql(database, schema.read())
        for user in users:
            self.psql(database, f"INSERT INTO USRS VALUES('{user}')")

    def psql(self, database, sql):
        """The rows of a statement run on the primary, each a list of column texts."""
        result = subprocess.run(
            ["psql", "-X", "-q", "-A", "-t", "-F", "\x1f", "-v", "ON_ERROR_STOP=1",
             "-d", self.conninfo(database), "-c", sql], capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError(f"psql: {result.stderr.strip()}")
        return [line.split("\x1f") for line in result.stdout.splitlines() if line]


def _made_here(marker):
    """The folder a marker names when this script made it, by its owner and its place; None
    for anything else in the shared temporary folder."""
    try:
        folder = os.readlink(marker)
        made = os.lstat(marker).st_uid == os.geteuid() and os.stat(folder).st_uid in (
            os.geteuid(), pwd.getpwnam(as_owner()).pw_uid if as_owner() else -1)
    except (OSError, KeyError):
        return None
    inside = os.path.dirname(folder) == tempfile.gettempdir()
    return folder if made and inside and os.path.basename(folder).startswith("vimo-cluster-") \
        else None


def _alive(pid, process=None):
    if process is not None:
        return process.poll() is None
    try:
        os.kill(pid, 0)
        return True
    except OSError:
        return False


def _signal(pid, number):
    try:
        os.kill(pid, number)
        return True
    except OSError:
        return False


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("action", choices=("start", "status", "switchover", "stop"))
    parser.add_argument("--folder", help="the cluster's folder (start makes one)")
    parser.add_argument("--nodes", type=int, default=3, choices=(2, 3))
    parser.add_argument("--port-base", type=int, default=25460)
    parser.add_argument("--haproxy", action="store_true", help="a HAProxy in front")
    parser.add_argument("--asynchronous", action="store_true",
                        help="without Patroni's synchronous mode")
    parser.add_argument("--database", default="vimo", help="made with Vimo's tables")
    parser.add_argument("--users", default="", help="user names to add, comma-separated")
    args = parser.parse_args()
    if args.action == "start":
        cluster = Cluster(args.folder, args.port_base, args.nodes, args.haproxy,
                          not args.asynchronous)
        try:
            cluster.start()
            cluster.create_database(args.database, [u for u in args.users.split(",") if u])
        except Exception:
            cluster.stop()
            raise
        print(f"cluster in {cluster.folder}; primary {cluster.primary()}; for ~/.odbc.ini:\n")
        print(cluster.data_source(args.database, "haproxy" if args.haproxy else "hosts"))
        return 0
    if not args.folder:
        parser.error("--folder is needed")
    cluster = Cluster.load(args.folder)
    if args.action == "stop":
        cluster.stop()
    elif args.action == "switchover":
        print("switched over from %s to %s" % cluster.switchover())
    else:
        print(json.dumps(cluster.members(), indent=1))
    return 0


if __name__ == "__main__":
    sys.exit(main())
