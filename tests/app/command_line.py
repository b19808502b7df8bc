#!/usr/bin/env python3
"""vimo --help and --version answer on standard output with no display at all, at once; an
unknown option is refused with status 2 and a message on standard error."""

import os
import subprocess
import sys
import time

program = sys.argv[1]
# No display of any kind: the answers must not need one.
environment = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
failures = []


def run(*arguments):
    started = time.monotonic()
    result = subprocess.run([program, *arguments], env=environment, capture_output=True,
                            text=True, timeout=30)
    return result, time.monotonic() - started


for arguments, status, stream, expected in (
        (["--help"], 0, "stdout", "Usage: vimo [OPTION] [DATA-FILE]"),
        (["-h", "office.vmo"], 0, "stdout", "--show-all"),
        (["--version"], 0, "stdout", "vimo "),
        (["--bogus"], 2, "stderr", "vimo: unknown option '--bogus'"),
        (["-platform"], 2, "stderr", "needs a value")):
    result, took = run(*arguments)
    text = getattr(result, stream)
    print(f"vimo {' '.join(arguments)}: status {result.returncode} in {took:.3f} s")
    if result.returncode != status:
        failures.append(f"{arguments}: status {result.returncode}, not {status}: {result.stderr}")
    if expected not in text:
        failures.append(f"{arguments}: {stream} lacks {expected!r}: {text!r}")
    # A bound that only a start of the program itself could break.
    if took >= 1.0:
        failures.append(f"{arguments}: took {took:.2f} s")

for failure in failures:
    print(f"FAILED: {failure}")
sys.exit(1 if failures else 0)
