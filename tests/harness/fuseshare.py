"""A folder seen through a FUSE mount, as a workstation sees the office's share: bindfs
forwards every operation and POSIX lock to the folder underneath, and the kernel tells no one
on another mount of the same folder that a file changed, as on SMB or NFS.

Each process gets a mount of its own, as if on a machine of its own. bindfs takes every lock
it forwards in its own name, as one process: the locks of two programs on one mount would not
keep each other out, and SQLite through such a shared mount damages its file at once (the
stress test: posts refused with I/O errors, notes lost, indexes broken). One program a mount
is what a share's server sees of two machines.

With debug_log the mount writes every operation it forwards to that file, for counting; it
is slower then, so figures of time come from mounts without it."""

import os
import re
import shutil
import subprocess
import time

# What the mounts forward. Locks: SQLite's own locking, as a share's server takes it.
# direct_io: every read and write goes to the folder underneath. FUSE of libfuse 2 keeps the
# pages of a file that stays open until it is opened again, so SQLite, which keeps its file
# open, would read pages that another mount has overwritten long ago: the stress test through
# such mounts loses and corrupts notes. Network file systems drop their cached pages when a
# lock is taken (NFS) or when another client writes (SMB leases); direct_io is the coherent
# FUSE counterpart.
OPTIONS = ["--no-allow-other", "--enable-lock-forwarding", "--multithreaded"]
COHERENT = ["-o", "direct_io,entry_timeout=0,negative_timeout=0,attr_timeout=0"]


class FuseShare:
    def __init__(self, source, mount_point, debug_log=None, coherent=True):
        self.source = source
        self.mount_point = mount_point
        self.debug_log = debug_log
        self.coherent = coherent
        self.process = None

    def __enter__(self):
        self.mount()
        return self

    def __exit__(self, *_):
        self.unmount()

    def mount(self):
        program = shutil.which("bindfs")
        if program is None:
            raise RuntimeError("bindfs is not installed (scripts/setup-debian.sh installs it)")
        os.makedirs(self.mount_point, exist_ok=True)
        command = [program, "-f", *OPTIONS, *(COHERENT if self.coherent else [])]
        if self.debug_log:
            command.append("-d")
        command += [self.source, self.mount_point]
        log = open(self.debug_log, "wb") if self.debug_log else subprocess.DEVNULL
        self.process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=log)
        deadline = time.monotonic() + 20
        while not os.path.ismount(self.mount_point):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError(f"bindfs did not mount {self.mount_point}")
            time.sleep(0.05)

    def unmount(self):
        if self.process is None:
            return
        for command in (["fusermount", "-u"], ["umount", "-l"]):
            if not os.path.ismount(self.mount_point):
                break
            subprocess.run(command + [self.mount_point], capture_output=True)
        try:
            self.process.wait(20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process = None


def count_operations(debug_log, begin=0, end=None):
    """The operations a debug mount forwarded between two byte offsets of its log: a count for
    each FUSE opcode, the lock requests among them, and the bytes that reads returned."""
    counts, read_bytes, lock_requests = {}, 0, 0
    with open(debug_log, "rb") as log:
        data = log.read()
    text = data[begin:end].decode("utf-8", "replace")
    # From the first whole request on: the one that looked up the mark is cut.
    text = text[text.find("\nunique: ") + 1:]
    for match in re.finditer(r"^unique: \d+, opcode: (\w+)", text, re.M):
        counts[match.group(1)] = counts.get(match.group(1), 0) + 1
    for match in re.finditer(r"^\s+read\[\d+\] (\d+) bytes from", text, re.M):
        read_bytes += int(match.group(1))
    # Locks taken or given back (SETLK, SETLKW); GETLK only asks, and FLUSH's release at
    # every close is counted with FLUSH.
    for match in re.finditer(r"^unique: \d+, opcode: (SETLKW?|GETLK) ", text, re.M):
        lock_requests += 1
    return counts, lock_requests, read_bytes
