"""A backend for the benchmarks: notes the moment it starts listening and the moment the
panel page's load beacon arrives (both on the system's monotonic clock), in the files given.
Usage: fake_backend.py LISTEN_FILE BEACON_FILE [--ignore-term]"""
import http.server
import signal
import sys
import time

listen_file, beacon_file = sys.argv[1], sys.argv[2]
if "--ignore-term" in sys.argv:
    signal.signal(signal.SIGTERM, signal.SIG_IGN)
PAGE = open(sys.argv[0].rsplit("/", 1)[0] + "/panel_page.html", "rb").read()


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        if self.path.startswith("/beacon"):
            with open(beacon_file, "w") as f:
                f.write(repr(time.monotonic()))
        body = PAGE if self.path == "/" else b""
        self.send_response(200 if body else 204)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 8477), Handler)
with open(listen_file, "w") as f:
    f.write(repr(time.monotonic()))
server.serve_forever()
