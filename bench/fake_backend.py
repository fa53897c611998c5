"""A backend for the benchmarks: notes the moment it starts listening and the moment the
panel page's load beacon arrives (both on the system's monotonic clock), in the files given.
Usage: fake_backend.py LISTEN_FILE BEACON_FILE [--ignore-term]"""
import signal
import sys
import threading
import time

import bench

listen_file, beacon_file = sys.argv[1], sys.argv[2]
if "--ignore-term" in sys.argv:
    signal.signal(signal.SIGTERM, signal.SIG_IGN)
server = bench.Beacons(8477, (bench.BENCH / "panel_page.html").read_bytes())
with open(listen_file, "w") as f:
    f.write(repr(time.monotonic()))
beacon = server.wait("/beacon", timeout=3600)
if beacon:
    with open(beacon_file, "w") as f:
        f.write(repr(beacon[0]))
threading.Event().wait()
