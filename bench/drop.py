#!/usr/bin/env python3
"""A file dropped from another program onto the panel's drop zone: the time from letting go until
the page has read every byte, and how much the program itself grows meanwhile; and drops held
long outside any zone, which must leave the panel as it was. Run after `bash scripts/build.sh
build`, on a display and bus of its own and a loopback of its own, as root:

    unshare --net sh -c 'ip link set lo up && xvfb-run -a -s "-screen 0 1600x1000x24 -noreset" \
      dbus-run-session -- /usr/bin/python3 bench/drop.py [--sizes 100,1024] [--rounds 3]'

Appends its table to bench/results/<date>-drop.md."""
import argparse, datetime, os, pathlib, sys, time

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests/program"))
os.environ.setdefault("TESSARY_PROGRAM", str(ROOT / "build/bin/halvaren-tessary"))
from harness import PROGRAM, TITLE, DragSource, User, eventually, window, xdo  # noqa: E402

PAGE = """<!doctype html><title>Panel</title><style>div{width:600px;height:300px}</style><div id=d>drop</div>
<script>d.ondragover = (e) => e.preventDefault();
d.ondrop = async (e) => { e.preventDefault(); let n = 0; for (const f of e.dataTransfer.files) {
  const reader = f.stream().getReader(); for (let r; !(r = await reader.read()).done;) n += r.value.length; }
  fetch('/read?' + n); };
onpagehide = () => navigator.sendBeacon('/left'); onload = () => fetch('/ready');</script>"""


def kib(pid, field):
    for line in pathlib.Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith(field + ":"):
            return int(line.split()[1])


def drag(win, y, held):
    xdo("mousemove", 1520, 60, "mousedown", 1, "sleep", 0.2, "mousemove", 1500, 80, "sleep", 0.2,
        *[a for x in (250, 270, 290, 300) for a in ("mousemove", "--window", win, x, y, "sleep", 0.3)],
        "sleep", held, "mouseup", 1)
    return time.monotonic()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sizes", default="100,1024", help="file sizes in MiB")
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    rows = []
    for size in map(int, args.sizes.split(",")):
        for _ in range(args.rounds):
            user = User()
            try:
                path = user.home / "big.bin"
                with open(path, "wb") as f:
                    f.truncate(size << 20)  # sparse: read from the page cache, not the disk
                server = user.serve(page=PAGE, status=404)
                app = user.start(PROGRAM)
                win = window(TITLE)
                eventually(lambda: "GET /ready engine" in server.requests, 15)
                source = DragSource(path)
                window("drag source")
                before = kib(app.pid, "VmRSS")
                let_go = drag(win, 150, 0)
                read = eventually(lambda: [r for r in server.requests if r.startswith("GET /read?")], 300)
                took = time.monotonic() - let_go
                grew = (kib(app.pid, "VmHWM") - before) / 1024
                ok = read == [f"GET /read?{size << 20} engine"]
                rows.append(f"| {size} MiB | {took:.2f} s | {grew:.1f} MiB | {'whole' if ok else read} |")
                print(rows[-1], flush=True)
                source.close()
                app.terminate()
                app.wait(10)
            finally:
                user.close()
    held = []
    user = User()
    try:
        server = user.serve(page=PAGE, status=404)
        app = user.start(PROGRAM)
        win = window(TITLE)
        eventually(lambda: "GET /ready engine" in server.requests, 15)
        source = DragSource(user.write("note.txt", "note"))
        window("drag source")
        for seconds in (4, 5, 6):
            drag(win, 700, seconds)
            time.sleep(2)
            kept = server.requests.count("GET / engine") == 1 and "POST /left engine" not in server.requests
            held.append(f"| held {seconds} s outside any zone | {'panel kept' if kept else 'PANEL REPLACED'} |")
            print(held[-1], flush=True)
        source.close()
        app.terminate()
        app.wait(10)
    finally:
        user.close()
    out = ROOT / "bench/results" / f"{datetime.date.today()}-drop.md"
    with open(out, "a") as f:
        f.write("\n| dropped file | until the page read it all | program's peak growth | bytes |\n|---|---|---|---|\n")
        f.write("\n".join(rows) + "\n\n| drop | result |\n|---|---|\n" + "\n".join(held) + "\n")
    print("written to", out)


if __name__ == "__main__":
    main()
