"""What the Python runs of tests/ and bench/ share: workstations on virtual desktops
(desktop), running copies as the fault runs read them (copies), the store behind the
program's back (stores) and its links secured as an office secures them (secure_links),
faults made real (injectors, pgproxy), a replicated PostgreSQL cluster (cluster) and the
poster that runs beside it (poster), and FUSE mounts of a share (fuseshare).

Every script runs from the source root with tests/ on the module path:

  PYTHONPATH=tests python3 tests/faults/fuzz.py --help"""
