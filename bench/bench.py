#!/usr/bin/env python3
"""Benchmarks of the desktop shell against its floor, a bare WebKitGTK window.

Runs on a private Xvfb display and D-Bus bus, alternates the subjects of each case round by
round, and writes bench/results/<date>.md and a chart of the time-to-panel distributions.
Started by bench/run.sh, which builds everything first.
"""
import argparse
import datetime
import http.server
import os
import pathlib
import shutil
import signal
import statistics
import subprocess
import tempfile
import threading
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
BUILD = ROOT / "build"
PROGRAM = BUILD / "bin" / "halvaren-tessary"
BARE = BUILD / "bin" / "bare_webview"
BENCH = ROOT / "bench"
PANEL = "http://127.0.0.1:8477/"


# --- the private desktop -------------------------------------------------------------------

class Desktop:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="tessary-bench-")
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0",
                                      "1600x1000x24", "-nolisten", "tcp", "-noreset"], pass_fds=[write],
                                     stderr=subprocess.DEVNULL)
        os.close(write)
        self.display = ":" + os.read(read, 64).decode().strip()
        os.close(read)
        config = os.path.join(self.dir, "bus.conf")
        with open(config, "w") as f:
            f.write('<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"'
                    ' "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">\n'
                    '<busconfig><type>session</type><listen>unix:dir=%s</listen>'
                    '<auth>EXTERNAL</auth><policy context="default">'
                    '<allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>'
                    '<allow own="*"/></policy></busconfig>' % self.dir)
        self.bus = subprocess.Popen(["dbus-daemon", "--nofork", "--print-address",
                                     "--config-file=" + config], stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL, text=True)
        self.address = self.bus.stdout.readline().strip()

    def env(self, home):
        env = {"HOME": home, "XDG_DATA_HOME": home + "/.local/share",
               "XDG_CONFIG_HOME": home + "/.config", "XDG_CACHE_HOME": home + "/.cache",
               "XDG_RUNTIME_DIR": home, "DISPLAY": self.display, "NO_AT_BRIDGE": "1",
               "DBUS_SESSION_BUS_ADDRESS": self.address, "PATH": os.environ["PATH"],
               "LANG": "C.UTF-8"}
        return env

    def close(self):
        for p in (self.bus, self.xvfb):
            p.terminate()
            p.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


# --- processes -----------------------------------------------------------------------------

def children(pid):
    out = []
    try:
        for task in os.listdir("/proc/%d/task" % pid):
            with open("/proc/%d/task/%s/children" % (pid, task)) as f:
                out += [int(c) for c in f.read().split()]
    except OSError:
        pass
    return out


def tree(pid):
    pids, todo = [], [pid]
    while todo:
        p = todo.pop()
        pids.append(p)
        todo += children(p)
    return pids


def pss_mib(pid):
    total = 0
    for p in tree(pid):
        try:
            with open("/proc/%d/smaps_rollup" % p) as f:
                for line in f:
                    if line.startswith("Pss:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total / 1024


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def context_switches(pid):
    total = 0
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                total += int(line.split()[1])
    return total


def alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def end(proc):
    everything = tree(proc.pid)
    proc.terminate()
    try:
        proc.wait(10)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
    for p in everything:
        try:
            os.kill(p, signal.SIGKILL)
        except OSError:
            pass


def wait_for(condition, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.002)
    return None


# --- servers -------------------------------------------------------------------------------

class Beacons:
    """An HTTP server on a loopback port that notes when each path first arrives."""

    def __init__(self, port, page=b""):
        self.seen = {}
        beacons = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                beacons.seen.setdefault(self.path.split("?")[0], (time.monotonic(), self.path))
                body = page if self.path == "/" else b""
                self.send_response(200 if body else 204)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def wait(self, path, timeout=60):
        return wait_for(lambda: self.seen.get(path), timeout)

    def close(self):
        self.server.shutdown()
        self.server.server_close()


# --- cases ---------------------------------------------------------------------------------

class Home:
    def __init__(self):
        self.path = tempfile.mkdtemp(prefix="tessary-home-")
        for sub in (".local/share", ".config", ".cache"):
            os.makedirs(os.path.join(self.path, sub))

    def close(self):
        shutil.rmtree(self.path, ignore_errors=True)


def subjects_running_panel(include_chromium):
    subjects = {
        "program": lambda home: [str(PROGRAM)],
        "floor": lambda home: [str(BARE), PANEL],
        "floor+document-viewer": lambda home: [str(BARE), "--document-viewer", PANEL],
        "floor+no-compositing": lambda home: [str(BARE), "--no-compositing", PANEL],
    }
    if include_chromium:
        subjects["chromium --app"] = lambda home: [
            "chromium", "--app=" + PANEL, "--no-sandbox", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--disable-quic", "--user-data-dir=" + home + "/chromium", "--window-size=1280,840"]
    return subjects


def running_panel(desktop, rounds, include_chromium, idle_rounds):
    page = (BENCH / "panel_page.html").read_bytes()
    subjects = subjects_running_panel(include_chromium)
    times = {name: [] for name in subjects}
    memory = {name: [] for name in subjects}
    idle = {"program": [], "floor+no-compositing": []}
    for round_ in range(rounds + 1):  # round 0 warms the caches up and is not counted
        for name, command in subjects.items():
            server = Beacons(8477, page)
            home = Home()
            start = time.monotonic()
            proc = subprocess.Popen(command(home.path), env=desktop.env(home.path),
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            beacon = server.wait("/beacon")
            if beacon and round_ > 0:
                times[name].append(beacon[0] - start)
                time.sleep(2)
                memory[name].append(pss_mib(proc.pid))
                if name in idle and len(idle[name]) < idle_rounds:
                    cpu0, ctx0 = cpu_seconds(proc.pid), context_switches(proc.pid)
                    time.sleep(10)
                    idle[name].append((cpu_seconds(proc.pid) - cpu0,
                                       context_switches(proc.pid) - ctx0))
            end(proc)
            server.close()
            home.close()
    return times, memory, idle


def installed_home(ignore_term=False, delay=1.0):
    """A home with installed code whose uv starts the benchmark backend after delay seconds."""
    home = Home()
    root = os.path.join(home.path, "code")
    os.makedirs(root + "/.venv/bin")
    open(root + "/.venv/bin/tessary", "w").close()
    os.makedirs(home.path + "/.local/share/HalvarenTessary")
    with open(home.path + "/.local/share/HalvarenTessary/approot", "w") as f:
        f.write(root + "\n")
    os.makedirs(home.path + "/.local/bin")
    uv = home.path + "/.local/bin/uv"
    with open(uv, "w") as f:
        f.write("#!/bin/bash\n%ssleep %.3f\nexec python3 %s %s/listen %s/beacon%s\n" % (
            "trap '' TERM\n" if ignore_term else "", delay, BENCH / "fake_backend.py", home.path,
            home.path, " --ignore-term" if ignore_term else ""))
    os.chmod(uv, 0o755)
    bare = home.path + "/bare/bin/halvaren-tessary"
    os.makedirs(os.path.dirname(bare))
    shutil.copy(PROGRAM, bare)
    return home, bare


def read_time(path):
    try:
        with open(path) as f:
            return float(f.read())
    except (OSError, ValueError):
        return None


def installed_backend_and_quit(desktop, rounds):
    started, quits = [], {"cooperative": [], "ignores the polite stop": []}
    backend_stops = {variant: [] for variant in quits}
    for round_ in range(rounds + 1):
        for variant in quits:
            # The backend's first answer falls at a different point of the 0.5 s poll cycle
            # in each round, so the distribution covers the whole cycle.
            delay = 1.0 + 0.5 * round_ / (rounds + 1)
            home, exe = installed_home(ignore_term=variant != "cooperative", delay=delay)
            proc = subprocess.Popen([exe], env=desktop.env(home.path),
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            beacon = wait_for(lambda: read_time(home.path + "/beacon"), 60)
            listen = read_time(home.path + "/listen")
            if beacon and listen and round_ > 0:
                if variant == "cooperative":
                    started.append(beacon - listen)
                processes = tree(proc.pid)
                backend = [p for p in processes if p not in webkit_and_self(proc.pid)]
                start = time.monotonic()
                proc.send_signal(signal.SIGTERM)
                wait_for(lambda: not any(alive(p) for p in backend), 10)
                backend_gone = time.monotonic() - start
                proc.wait(10)
                wait_for(lambda: not any(alive(p) for p in processes), 10)
                quits[variant].append(time.monotonic() - start)
                backend_stops[variant].append(backend_gone)
            end(proc)
            home.close()
    return started, quits, backend_stops


def webkit_and_self(pid):
    """The program and the web engine's processes: everything in its tree but the backend."""
    own = [pid]
    for child in children(pid):
        try:
            with open("/proc/%d/comm" % child) as f:
                if f.read().startswith("WebKit"):
                    own.append(child)
        except OSError:
            pass
    return own


def shipped_prefix(home, wizard, script):
    """The program in a prefix of its own under home, shipping the setup wizard `wizard` and
    the shipped setup page with script added; returns the program's path."""
    prefix = os.path.join(home.path, "prefix")
    share = os.path.join(prefix, "share", "halvaren-tessary")
    os.makedirs(os.path.join(prefix, "bin"))
    shutil.copy(PROGRAM, os.path.join(prefix, "bin"))
    os.makedirs(os.path.join(share, "app-root", "installer"))
    with open(os.path.join(share, "app-root", "installer", "bootstrap.sh"), "w") as f:
        f.write(wizard)
    page = (ROOT / "package" / "setup.html").read_text()
    with open(os.path.join(share, "setup.html"), "w") as f:
        f.write(page.replace("</body>", "<script>\n" + script + "</script>\n</body>"))
    return os.path.join(prefix, "bin", "halvaren-tessary")


def resident_mib(pid):
    try:
        with open("/proc/%d/statm" % pid) as f:
            return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") / (1 << 20)
    except OSError:
        return None


def wizard_streaming(desktop, rounds, lines):
    """A wizard printing `lines` lines of 100 bytes into the shipped setup page: seconds from its
    first line to the page's last, the program's resident memory before the output began and at
    its peak, and the page's own check of count and order."""
    results = []
    for round_ in range(rounds + 1):
        home = Home()
        program = shipped_prefix(
            home, "python3 - <<'PY'\nimport sys, time\n"
            "open(%r, 'w').write(repr(time.monotonic()))\nw = sys.stdout.write\n"
            "for i in range(1, %d):\n    w('wiersz %%d %%s\\n' %% (i, 'x' * (90 - len(str(i)))))\n"
            "w('KONIEC\\n')\nPY\n" % (home.path + "/start", lines + 1),
            (BENCH / "wizard_page_hook.js").read_text())
        beacons = Beacons(8478)
        proc = subprocess.Popen([program], env=desktop.env(home.path),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        memory = []  # (time, MiB) every 20 ms while it runs

        def sample():
            while proc.poll() is None and "/done" not in beacons.seen:
                memory.append((time.monotonic(), resident_mib(proc.pid)))
                time.sleep(0.02)
        sampler = threading.Thread(target=sample)
        sampler.start()
        loaded = beacons.wait("/loaded", 60)
        arrived = beacons.wait("/done", 60 + lines / 20000)
        sampler.join()
        start = read_time(home.path + "/start")
        if loaded and arrived and start and round_ > 0:
            before = [m for t, m in memory if t <= loaded[0] and m][-1]
            peak = max(m for t, m in memory if m)
            results.append((arrived[0] - start, before, peak, arrived[1].split("?", 1)[1]))
        end(proc)
        beacons.close()
        home.close()
    return results


# --- report --------------------------------------------------------------------------------

def stats(values):
    return min(values), statistics.median(values), max(values)


def row(name, values, unit, scale=1.0, digits=3):
    if not values:
        return "| %s | – | – | – | %s |" % (name, unit)
    lo, med, hi = (v * scale for v in stats(values))
    return "| %s | %.*f | %.*f | %.*f | %s |" % (name, digits, lo, digits, med, digits, hi, unit)


def chart(times, path):
    """Time-to-panel distributions as a dot plot, drawn as SVG and turned into PNG."""
    width, height, left, top, lane = 900, 80 + 70 * len(times), 200, 40, 70
    highest = max(max(v) for v in times.values() if v) * 1.1
    svg = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d">' % (width, height),
           '<rect width="100%" height="100%" fill="#faf9f7"/>',
           '<text x="20" y="24" font-family="DejaVu Sans" font-size="15">Time to panel, panel already running'
           ' (exec to the page\'s load beacon)</text>']
    scale = (width - left - 40) / highest
    for i, (name, values) in enumerate(times.items()):
        y = top + 40 + i * lane
        svg.append('<text x="20" y="%d" font-family="DejaVu Sans" font-size="13">%s</text>'
                   % (y + 4, name))
        svg.append('<line x1="%d" y1="%d" x2="%d" y2="%d" stroke="#ccc"/>'
                   % (left, y, width - 40, y))
        for v in values:
            svg.append('<circle cx="%.1f" cy="%d" r="5" fill="#b6412f" fill-opacity="0.6"/>'
                       % (left + v * scale, y))
        if values:
            m = statistics.median(values)
            svg.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="#24303b" '
                       'stroke-width="2"/>' % (left + m * scale, y - 14, left + m * scale, y + 14))
    axis_y = height - 30
    step = next(s for s in (0.05, 0.1, 0.25, 0.5, 1.0) if highest / s <= 12)
    t = 0.0
    while t <= highest:
        x = left + t * scale
        svg.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="#999"/>'
                   % (x, axis_y - 5, x, axis_y))
        svg.append('<text x="%.1f" y="%d" font-family="DejaVu Sans" font-size="11" '
                   'text-anchor="middle">%.2f s</text>' % (x, axis_y + 14, t))
        t += step
    svg.append("</svg>")
    svg_path = str(path) + ".svg"
    with open(svg_path, "w") as f:
        f.write("\n".join(svg))
    subprocess.run(["convert", svg_path, str(path)], check=True)
    os.remove(svg_path)


def streaming_report(runs, count):
    lines = ["", "## Wizard streaming: %d lines of 100 bytes, first line → the page's last" % count,
             "", "| round | time | lines/s | RSS before output | RSS peak | growth | page check |",
             "|---|---|---|---|---|---|---|"]
    for i, (took, before, peak, check) in enumerate(runs, 1):
        lines.append("| %d | %.2f s | %.0f | %.0f MiB | %.0f MiB | %.0f MiB | %s |" % (
            i, took, count / took, before, peak, peak - before, check))
    return lines


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--idle-rounds", type=int, default=3)
    parser.add_argument("--lines", type=int, default=1000000, help="lines the streaming wizard prints")
    parser.add_argument("--streaming-only", action="store_true",
                        help="only the streaming case, its table printed and appended to "
                             "bench/results/<date>-streaming.md")
    args = parser.parse_args()
    if args.streaming_only:
        desktop = Desktop()
        try:
            table = streaming_report(wizard_streaming(desktop, args.rounds, args.lines), args.lines)
        finally:
            desktop.close()
        print("\n".join(table))
        out = BENCH / "results" / ("%s-streaming.md" % datetime.date.today().isoformat())
        with open(out, "a") as f:
            f.write("\n".join(table) + "\n")
        return
    include_chromium = shutil.which("chromium") is not None
    desktop = Desktop()
    try:
        print("panel already running …", flush=True)
        times, memory, idle = running_panel(desktop, args.rounds, include_chromium, args.idle_rounds)
        print("installed backend started, and quit …", flush=True)
        started, quits, backend_stops = installed_backend_and_quit(desktop, args.rounds)
        print("wizard streaming …", flush=True)
        wizard = wizard_streaming(desktop, max(3, args.rounds // 2), args.lines)
    finally:
        desktop.close()

    micro = subprocess.run([str(BUILD / "bin" / "micro_bench"), "--benchmark_min_time=0.2"],
                           capture_output=True, text=True).stdout

    date = datetime.date.today().isoformat()
    results = BENCH / "results"
    results.mkdir(exist_ok=True)
    chart(times, results / ("%s-time-to-panel.png" % date))
    median = {name: statistics.median(v) for name, v in times.items() if v}
    pss = {name: statistics.median(v) for name, v in memory.items() if v}
    lines = ["# Benchmarks, %s" % date, "",
             "Machine: %d cores, Xvfb, software rendering. %d rounds per case after one warm-up "
             "round; subjects alternate within each round." % (os.cpu_count(), args.rounds), "",
             "## Panel already running: time to panel (exec → the page's load beacon)", "",
             "| subject | min | median | max | unit |", "|---|---|---|---|---|"]
    lines += [row(n, v, "s") for n, v in times.items()]
    lines += ["", "![Time to panel](%s-time-to-panel.png)" % date, "",
              "## Memory: PSS of the whole process tree, 2 s after the beacon", "",
              "| subject | min | median | max | unit |", "|---|---|---|---|---|"]
    lines += [row(n, v, "MiB", digits=1) for n, v in memory.items()]
    lines += ["", "## Ratios (medians)", ""]
    if "floor" in median:
        lines.append("- time to panel, program / floor: %.3f" % (median["program"] / median["floor"]))
        lines.append("- PSS, program / floor (engine defaults): %.3f" % (pss["program"] / pss["floor"]))
        if "floor+no-compositing" in pss:
            lines.append("- PSS, floor without accelerated compositing / floor: %.3f"
                         % (pss["floor+no-compositing"] / pss["floor"]))
        if "floor+document-viewer" in pss:
            lines.append("- PSS, floor with the document-viewer cache model / floor: %.3f"
                         % (pss["floor+document-viewer"] / pss["floor"]))
    if "chromium --app" in pss:
        lines.append("- PSS, program / chromium --app: %.3f" % (pss["program"] / pss["chromium --app"]))
        lines.append("- time to panel, program / chromium --app: %.3f"
                     % (median["program"] / median["chromium --app"]))
    lines += ["", "## Installed backend started: its first answer → the panel's beacon", "",
              "| case | min | median | max | unit |", "|---|---|---|---|---|",
              row("installed backend", started, "s"), "",
              "## Idle: UI process over 10 s after the panel loaded (CPU: all threads; context switches: main thread)", "",
              "| subject, measure | min | median | max | unit |", "|---|---|---|---|---|"]
    for name, samples in idle.items():
        lines += [row(name + ", CPU time", [c for c, _ in samples], "ms", 1000, 1),
                  row(name + ", context switches", [s for _, s in samples], "", 1, 0)]
    lines += ["",
              "## Quit: request → no process of the program or its backend left", "",
              "| backend | min | median | max | unit |", "|---|---|---|---|---|"]
    lines += [row(n, v, "s") for n, v in quits.items()]
    lines += ["", "Of which until the backend's last process is gone:", "",
              "| backend | min | median | max | unit |", "|---|---|---|---|---|"]
    lines += [row(n, v, "s") for n, v in backend_stops.items()]
    lines += streaming_report(wizard, args.lines)
    lines += ["", "## Micro-benchmarks", "", "```", micro.strip(), "```", ""]
    out = results / ("%s.md" % date)
    out.write_text("\n".join(lines))
    print("\n".join(lines))
    print("written:", out)


if __name__ == "__main__":
    main()
