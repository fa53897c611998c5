"""A stand-in panel server for the tests: serves a page with a load beacon on 127.0.0.1:8477.

Options: --ignore-term (survive the polite stop), --exit-after SECONDS,
--pidfile PATH (write our pid), --term-marker PATH (touched when the polite stop arrives).
"""
import argparse
import http.server
import os
import signal
import sys
import threading

parser = argparse.ArgumentParser()
parser.add_argument("--ignore-term", action="store_true")
parser.add_argument("--exit-after", type=float)
parser.add_argument("--pidfile")
parser.add_argument("--term-marker")
args = parser.parse_args()

if args.pidfile:
    with open(args.pidfile, "w") as f:
        f.write(str(os.getpid()))


def on_term(signum, frame):
    if args.term_marker:
        open(args.term_marker, "w").close()
    if not args.ignore_term:
        os._exit(0)


signal.signal(signal.SIGTERM, on_term if (args.term_marker or not args.ignore_term) else signal.SIG_IGN)

PAGE = (b"<!doctype html><html><head><meta charset=utf-8><title>Panel</title></head><body>"
        b"<h1>Panel</h1><script>addEventListener('load', () => fetch('/beacon?Panel'))"
        b"</script></body></html>")


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        body = PAGE if self.path == "/" else b""
        self.send_response(200 if body else 204)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, fmt, *values):
        sys.stderr.write("request: " + (fmt % values) + "\n")


server = http.server.ThreadingHTTPServer(("127.0.0.1", 8477), Handler)
print("fake backend serving on 127.0.0.1:8477", flush=True)
if args.exit_after is not None:
    threading.Timer(args.exit_after, lambda: os._exit(0)).start()
server.serve_forever()
