"""The faults a shared store meets, made real on this machine (as root): a share that goes
away and comes back, a file that is renamed, replaced, made read-only, locked or meets a
full disk, and a PostgreSQL server that restarts, stops or freezes."""

import fcntl
import os
import shutil
import signal
import sqlite3
import struct
import subprocess
import time

from .desktop import StepFailure, wait_for

# ext4's "going down" request: the file system refuses all further I/O, as the share of a
# server that went away does. Flag 0 syncs first, so the image stays consistent.
EXT4_IOC_SHUTDOWN = 0x8004587D


def run(*command):
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        raise StepFailure(f"{' '.join(command)}: {result.stderr.strip()}")
    return result.stdout


class Share:
    """The office's shared folder: a small ext4 image, loop-mounted at mount_point. A real
    file system of its own, so it can be taken away under open files, filled up and made
    read-only without touching the machine's disks."""

    def __init__(self, image, mount_point, size_mb=16):
        self.image = image
        self.mount_point = mount_point
        self.size_mb = size_mb
        self.filler = os.path.join(mount_point, "filler")

    def create(self):
        self.unmount_all()
        with open(self.image, "wb") as image:
            image.truncate(self.size_mb << 20)
        # No blocks reserved for root: the copies run as root and must meet a full disk too.
        run("mkfs.ext4", "-q", "-F", "-m", "0", self.image)
        os.makedirs(self.mount_point, exist_ok=True)
        self.mount()

    def mount(self):
        # A loop device of its own each time: the one of the share taken away may still be
        # held by the copies' open files, and must stay apart from the new mount.
        device = run("losetup", "-f", "--show", self.image).strip()
        run("mount", device, self.mount_point)
        # The loop device goes when its last user (this mount) does.
        run("losetup", "-d", device)

    def take_away(self):
        """The share goes away under the copies: their open files fail from now on, and its
        path is empty until mount() brings the same file system back."""
        folder = os.open(self.mount_point, os.O_RDONLY)
        try:
            fcntl.ioctl(folder, EXT4_IOC_SHUTDOWN, struct.pack("I", 0))
        finally:
            os.close(folder)
        run("umount", "-l", self.mount_point)

    def fill(self):
        """Writes a file until not one byte more fits."""
        fd = os.open(self.filler, os.O_WRONLY | os.O_CREAT | os.O_TRUNC)
        try:
            for size in (1 << 20, 1 << 16, 1 << 12, 1 << 9, 1):
                block = b"\0" * size
                while True:
                    try:
                        os.write(fd, block)
                    except OSError:
                        break
            os.fsync(fd)
        finally:
            os.close(fd)

    def unfill(self):
        if os.path.exists(self.filler):
            os.remove(self.filler)

    def is_mounted(self):
        return os.path.ismount(self.mount_point)

    def unmount_all(self):
        while os.path.ismount(self.mount_point):
            subprocess.run(["umount", "-l", self.mount_point], capture_output=True)


def set_immutable(path, on):
    """Read-only even for root (the copies run as root, to whom file modes mean nothing):
    writes through files already open fail as well."""
    run("chattr", "+i" if on else "-i", path)


def backup(path, copy):
    """A consistent copy of a data file, as a backup program takes it."""
    with sqlite3.connect(f"file:{path}?mode=ro", uri=True, timeout=10) as source, \
            sqlite3.connect(copy) as target:
        source.backup(target)
    source.close()
    target.close()


class FileLock:
    """Another program holds the data file with an exclusive lock: the sqlite3 shell in a
    transaction begun with BEGIN EXCLUSIVE, so no copy can read or write until it ends."""

    def __init__(self, path):
        self.path = path
        self.process = None
        self.taken_at = None

    def take(self):
        self.process = subprocess.Popen(["sqlite3", self.path], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                        text=True)
        # It waits for readers that hold the file just now, then says so.
        self.process.stdin.write(".timeout 20000\nBEGIN EXCLUSIVE;\n.print LOCKED\n")
        self.process.stdin.flush()
        line = self.process.stdout.readline().strip()
        if line != "LOCKED":
            self.process.kill()
            raise StepFailure(f"the sqlite3 shell did not lock the file: {line!r}")
        self.taken_at = time.monotonic()

    def release(self):
        if self.process is None:
            return
        try:
            self.process.communicate("COMMIT;\n.quit\n", timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process = None


class PostgresServer:
    """The suite's own server for the fault runs: nothing else uses it, so it may be
    restarted, stopped and frozen at will."""

    def __init__(self, fixture, folder, port):
        self.fixture = fixture
        self.folder = folder
        self.port = port
        self.bin = sorted(os.path.dirname(p) for p in
                          subprocess.run(["sh", "-c", "ls -d /usr/lib/postgresql/*/bin/pg_ctl"],
                                         capture_output=True, text=True).stdout.split())[-1]
        self.frozen = []

    def _pg_ctl(self, *arguments):
        command = [os.path.join(self.bin, "pg_ctl"), "-D", os.path.join(self.folder, "data"),
                   *arguments]
        if os.geteuid() == 0:
            command = ["runuser", "-u", "postgres", "--", *command]
        run(*command)

    def create(self):
        run(self.fixture, "start", self.folder, str(self.port))
        # As root the fixture may have put the server where the postgres user can reach it,
        # and left a link: pg_ctl, run as that user, must not have to pass the link's folder.
        self.folder = os.path.realpath(self.folder)

    def remove(self):
        self.thaw()
        subprocess.run([self.fixture, "stop", self.folder], capture_output=True)

    def restart(self):
        # With a log file: the server would otherwise keep our output pipe open.
        self._pg_ctl("-m", "fast", "-w", "-l", os.path.join(self.folder, "server.log"),
                     "restart")

    def stop(self):
        self._pg_ctl("-m", "fast", "-w", "stop")

    def start(self):
        self._pg_ctl("-l", os.path.join(self.folder, "server.log"), "-w", "-t", "60", "-o",
                     f"-p {self.port} -k {self.folder} -c listen_addresses=127.0.0.1 "
                     "-c fsync=off", "start")

    def _processes(self):
        with open(os.path.join(self.folder, "data", "postmaster.pid")) as pid_file:
            postmaster = int(pid_file.readline())
        found = [postmaster]
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/stat") as stat:
                    fields = stat.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if int(fields[1]) == postmaster:
                found.append(int(entry))
        return found

    def freeze(self):
        """The server and every one of its processes stop dead, as a stalled machine does."""
        self.frozen = self._processes()
        for pid in self.frozen:
            os.kill(pid, signal.SIGSTOP)

    def thaw(self):
        for pid in self.frozen:
            try:
                os.kill(pid, signal.SIGCONT)
            except ProcessLookupError:
                pass
        self.frozen = []


def remove_path(path):
    if os.path.isdir(path):
        shutil.rmtree(path, ignore_errors=True)
    elif os.path.exists(path):
        os.remove(path)


def wait_until(condition, timeout, interval=0.2):
    """True when condition came within timeout, False otherwise; never raises for time."""
    try:
        wait_for(condition, timeout, "", interval)
        return True
    except StepFailure:
        return False
