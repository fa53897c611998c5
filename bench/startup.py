#!/usr/bin/env python3
"""Where the start-up of the running-panel road goes, for the program (with its engine's
sandbox and without), the bare window (the floor) and the bare window with the program's
engine setting.

Timing rounds alternate the subjects and touch nothing while they run; each ratio comes with
a 95 % bootstrap interval. Step rounds follow one start from outside: the window mapped
(xdotool), the probe and the engine's request arriving at the panel server, the content
process appearing under the program, the page's first animation frame and its load event.
Last, the first run: exec to the shipped setup page's load event. Run after `bash scripts/build.sh build` as
`python3 bench/startup.py`; prints a Markdown section and appends it to
bench/results/<date>-startup.md.
"""
import argparse
import datetime
import os
import random
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bench  # noqa: E402

PAGE = (bench.BENCH / "panel_page.html").read_bytes().replace(
    b"<body>", b"<body><script>requestAnimationFrame(() => fetch('/paint'))</script>", 1)
# "floor, no compositing" is the bare window with the engine setting the program uses: what a
# program that did no work of its own before the load would take. "program, unconfined" runs
# the engine's content process without its sandbox, to show what the sandbox costs.
SUBJECTS = {"program": lambda: [str(bench.PROGRAM)],
            "program, unconfined": lambda: [str(bench.PROGRAM)],
            "floor": lambda: [str(bench.BARE), bench.PANEL],
            "floor, no compositing": lambda: [str(bench.BARE), "--no-compositing", bench.PANEL]}
ENVIRONMENT = {"program, unconfined": {"WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS": "1"}}
TITLES = {"program": "^Halvaren Tessary$", "program, unconfined": "^Halvaren Tessary$",
          "floor": "^Bare web view$", "floor, no compositing": "^Bare web view$"}


class UserAgentBeacons(bench.Beacons):
    """Beacons that tell the probe's request for "/" from the engine's."""

    def __init__(self, port, page):
        super().__init__(port, page)
        handler = self.server.RequestHandlerClass
        seen = self.seen
        original = handler.do_GET

        def do_get(request):
            if request.path == "/":
                who = "engine" if "AppleWebKit" in request.headers.get("User-Agent", "") else "probe"
                seen.setdefault("/ " + who, (time.monotonic(), request.path))
            original(request)

        handler.do_GET = do_get


def content_process(pid):
    for child in bench.tree(pid)[1:]:
        try:
            with open("/proc/%d/comm" % child) as f:
                if f.read().startswith("WebKitWebProces"):
                    return True
        except OSError:
            pass
    return False


def one_start(desktop, name, steps):
    server = UserAgentBeacons(8477, PAGE)
    home = bench.Home()
    start = time.monotonic()
    proc = subprocess.Popen(SUBJECTS[name](), env={**desktop.env(home.path), **ENVIRONMENT.get(name, {})},
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    marks = {}
    if steps:
        env = desktop.env(home.path)
        while "/beacon" not in server.seen and time.monotonic() - start < 30:
            now = time.monotonic() - start
            if "content process started" not in marks and content_process(proc.pid):
                marks["content process started"] = now
            if "window shown" not in marks and subprocess.run(
                    ["xdotool", "search", "--onlyvisible", "--name", TITLES[name]], env=env,
                    stdout=subprocess.DEVNULL).returncode == 0:
                marks["window shown"] = time.monotonic() - start
    beacon = server.wait("/beacon", 30)
    for path, label in (("/ probe", "probe answered"), ("/ engine", "load started"),
                        ("/paint", "first paint"), ("/beacon", "load finished")):
        if path in server.seen:
            marks[label] = server.seen[path][0] - start
    time.sleep(2)
    pss = bench.pss_mib(proc.pid) if beacon else None
    bench.end(proc)
    server.close()
    home.close()
    return (beacon[0] - start if beacon else None), pss, marks


def interval(numerator, denominator, draws=2000):
    """A 95 % bootstrap interval of the ratio of two samples' medians."""
    rng = random.Random(1)
    ratios = sorted(statistics.median(rng.choices(numerator, k=len(numerator))) /
                    statistics.median(rng.choices(denominator, k=len(denominator)))
                    for _ in range(draws))
    return ratios[int(draws * 0.025)], ratios[int(draws * 0.975)]


def setup_start(desktop):
    """Exec to the shipped setup page's load event, for a user who never ran the program."""
    home = bench.Home()
    program = bench.shipped_prefix(home, "sleep 30\n", "addEventListener('load', () => fetch("
                                   "'http://127.0.0.1:8478/setup', {mode: 'no-cors'}))")
    beacon = bench.Beacons(8478)
    start = time.monotonic()
    proc = subprocess.Popen([program], env=desktop.env(home.path), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    arrived = beacon.wait("/setup", 30)
    bench.end(proc)
    beacon.close()
    home.close()
    return arrived[0] - start if arrived else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=9)
    args = parser.parse_args()
    desktop = bench.Desktop()
    times = {name: [] for name in SUBJECTS}
    memory = {name: [] for name in SUBJECTS}
    steps = {name: [] for name in SUBJECTS}
    setup = []
    try:
        for round_ in range(args.rounds + 1):  # round 0 warms the caches and is not counted
            for name in SUBJECTS:
                took, pss, _ = one_start(desktop, name, steps=False)
                if round_ and took:
                    times[name].append(took)
                    memory[name].append(pss)
        for round_ in range(4):
            for name in SUBJECTS:
                steps[name].append(one_start(desktop, name, steps=True)[2])
        for round_ in range(args.rounds + 1):
            took = setup_start(desktop)
            if round_ and took:
                setup.append(took)
    finally:
        desktop.close()
    median = statistics.median
    lines = ["## Start-up with a panel already running, %s" % datetime.date.today().isoformat(), "",
             "%d alternated timing rounds after one warm-up; steps from 4 further rounds, "
             "followed from outside (seconds after exec, medians)." % args.rounds, "",
             "| subject | time to panel (median) | min | max | PSS (median) |", "|---|---|---|---|---|"]
    for name in SUBJECTS:
        lines.append("| %s | %.3f s | %.3f | %.3f | %.1f MiB |" % (
            name, median(times[name]), min(times[name]), max(times[name]), median(memory[name])))
    lines.append("")
    for name in SUBJECTS:
        if name != "floor":
            lines.append("- %s / floor: time to panel **%.3f** (95 %% interval %.3f–%.3f), PSS %.3f" % (
                name, median(times[name]) / median(times["floor"]), *interval(times[name], times["floor"]),
                median(memory[name]) / median(memory["floor"])))
    lines += ["", "| step | " + " | ".join(SUBJECTS) + " |", "|---" * (len(SUBJECTS) + 1) + "|"]
    for step in ("window shown", "content process started", "probe answered", "load started",
                 "first paint", "load finished"):
        cells = []
        for name in SUBJECTS:
            values = [m[step] for m in steps[name] if step in m]
            cells.append("%.3f" % median(values) if values else "—")
        lines.append("| %s | %s |" % (step, " | ".join(cells)))
    lines += ["", "First run, exec → the setup page's load event: median %.3f s (min %.3f, max %.3f, "
              "%d rounds)." % (median(setup), min(setup), max(setup), len(setup))]
    text = "\n".join(lines) + "\n"
    print(text)
    out = bench.BENCH / "results" / ("%s-startup.md" % datetime.date.today().isoformat())
    with open(out, "a") as f:
        f.write(text + "\n")


if __name__ == "__main__":
    main()
