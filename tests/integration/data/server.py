"""A throw-away loopback server for the integration tests: the panel, the backend stand-in,
a navigation target and the setup page's recorder in one.

Every request goes to standard error and, with --record, to a file, as "METHOD PATH WHO"
(WHO: "engine" for the web engine, else "probe"); a POST body follows as its lines
"kind<TAB>value", each value percent-decoded. Paths: "/" the page (--page, or one that sends
/beacon?Panel once loaded) with --status after --delay; /redirect?to=U and /meta?to=U send
to U; /land sends the top page back to the panel's next step; /download sends a file as an
attachment; anything else answers 204.
"""
import argparse
import http.server
import os
import signal
import sys
import time
from urllib.parse import parse_qs, unquote_to_bytes, urlparse

p = argparse.ArgumentParser()
p.add_argument("--host", default="127.0.0.1")
p.add_argument("--port", type=int, default=8477)
p.add_argument("--page")
p.add_argument("--status", type=int, default=200)
p.add_argument("--delay", type=float, default=0)
p.add_argument("--record")
p.add_argument("--pidfile")
p.add_argument("--ignore-term", action="store_true")
args = p.parse_args()
if args.pidfile:
    with open(args.pidfile, "w") as f:
        f.write(str(os.getpid()))
signal.signal(signal.SIGTERM, signal.SIG_IGN if args.ignore_term else lambda *_: os._exit(0))

PAGE = (open(args.page, "rb").read() if args.page else
        b"<!doctype html><meta charset=utf-8><title>Panel</title><h1>Panel</h1><script>"
        b"addEventListener('load', () => fetch('/beacon?Panel'))</script>")
LAND = (b"<!doctype html><script>if (window.top === window) location.href = "
        b"'http://127.0.0.1:8477/?step=' + new URLSearchParams(location.search).get('next')"
        b"</script>")
BACK = (b"<script>setTimeout(() => location.href = '/?step=' + "
        b"new URLSearchParams(location.search).get('next'), 700)</script>")


class Handler(http.server.BaseHTTPRequestHandler):
    def note(self, body=b""):
        who = "engine" if "AppleWebKit" in self.headers.get("User-Agent", "") else "probe"
        line = f"{self.command} {self.path} {who}\n".encode()
        for item in body.splitlines():
            kind, _, value = item.partition(b"\t")
            line += kind + b"\t" + unquote_to_bytes(value) + b"\n"
        sys.stderr.buffer.write(line)
        sys.stderr.flush()
        if args.record:
            with open(args.record, "ab") as f:
                f.write(line)

    def answer(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        self.note(self.rfile.read(int(self.headers.get("Content-Length", 0))))
        self.answer(204)

    def do_GET(self):
        self.note()
        url = urlparse(self.path)
        to = parse_qs(url.query).get("to", [""])[0]
        if url.path == "/":
            time.sleep(args.delay)
            self.answer(args.status, PAGE)
        elif url.path == "/redirect":
            self.answer(302, headers=[("Location", to)])
        elif url.path == "/meta":
            # Back to the panel's next step when the refresh was refused.
            self.answer(200, f'<meta http-equiv=refresh content="0;url={to}">'.encode() + BACK)
        elif url.path == "/land":
            self.answer(200, LAND)
        elif url.path == "/download":  # ?name=N&size=S[&slow=SECONDS][&die=1]
            q = {k: v[0] for k, v in parse_qs(url.query).items()}
            size = int(q["size"])
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Disposition", f'attachment; filename="{q["name"]}"')
            self.send_header("Content-Length", str(size))
            self.end_headers()
            body = bytes(i % 251 for i in range(size))
            for at in range(0, size, 65536):
                if "die" in q and at >= size // 2:
                    return  # the server goes away mid-transfer
                self.wfile.write(body[at:at + 65536])
                self.wfile.flush()
                time.sleep(float(q.get("slow", 0)))
        else:
            self.answer(204)

    def log_message(self, *_):
        pass


server = http.server.ThreadingHTTPServer((args.host, args.port), Handler)
server.daemon_threads = True
print(f"fake backend serving on {args.host}:{args.port}", flush=True)
server.serve_forever()
