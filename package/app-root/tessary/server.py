"""The panel server: the panel page, uploads of session recordings and their list.

Standard library only. Messages go to standard output (start and stop) and standard error
(one line per request), which the desktop program collects in its log.
"""

import json
import os
import re
import signal
import sys
import threading
from http import HTTPStatus
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path
from urllib.parse import parse_qs, unquote, urlparse

ROOT = Path(__file__).resolve().parent.parent
STATIC = Path(__file__).resolve().parent / "static"
RECORDINGS = ROOT / "data" / "nagrania"
MAX_UPLOAD = 512 * 1024 * 1024


def safe_name(name):
    """A file name of the recordings folder: no folders, no hidden files."""
    name = os.path.basename(name.replace("\\", "/")).strip()
    name = re.sub(r"[\x00-\x1f]", "", name).lstrip(".")
    return name[:200] or "nagranie"


def list_recordings():
    if not RECORDINGS.is_dir():
        return []
    entries = []
    for path in sorted(RECORDINGS.iterdir(), key=lambda p: p.stat().st_mtime, reverse=True):
        if path.is_file():
            entries.append({"nazwa": path.name, "rozmiar": path.stat().st_size})
    return entries


class Handler(BaseHTTPRequestHandler):
    server_version = "Tessary/0.1"

    def send_body(self, status, body, content_type):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def send_file(self, name, content_type):
        self.send_body(HTTPStatus.OK, (STATIC / name).read_bytes(), content_type)

    def send_json(self, status, value):
        self.send_body(status, json.dumps(value, ensure_ascii=False).encode(), "application/json")

    def do_GET(self):
        path = urlparse(self.path).path
        if path == "/":
            self.send_file("panel.html", "text/html; charset=utf-8")
        elif path == "/o-panelu":
            self.send_file("o-panelu.html", "text/html; charset=utf-8")
        elif path == "/panel.css":
            self.send_file("panel.css", "text/css; charset=utf-8")
        elif path == "/nagrania":
            self.send_json(HTTPStatus.OK, list_recordings())
        else:
            self.send_json(HTTPStatus.NOT_FOUND, {"błąd": "nie ma takiej strony"})

    def do_POST(self):
        url = urlparse(self.path)
        if url.path != "/nagrania":
            self.send_json(HTTPStatus.NOT_FOUND, {"błąd": "nie ma takiej strony"})
            return
        length = int(self.headers.get("Content-Length") or 0)
        if length <= 0 or length > MAX_UPLOAD:
            self.send_json(HTTPStatus.BAD_REQUEST, {"błąd": "nieprawidłowy rozmiar nagrania"})
            return
        name = safe_name(unquote(parse_qs(url.query).get("nazwa", ["nagranie"])[0]))
        RECORDINGS.mkdir(parents=True, exist_ok=True)
        partial = RECORDINGS / ("." + name + ".part")
        remaining = length
        with open(partial, "wb") as out:
            while remaining:
                chunk = self.rfile.read(min(remaining, 1 << 20))
                if not chunk:
                    break
                out.write(chunk)
                remaining -= len(chunk)
        if remaining:
            partial.unlink(missing_ok=True)
            self.send_json(HTTPStatus.BAD_REQUEST, {"błąd": "przerwane przesyłanie"})
            return
        os.replace(partial, RECORDINGS / name)
        self.send_json(HTTPStatus.CREATED, {"nazwa": name, "rozmiar": length})

    def log_message(self, fmt, *args):
        sys.stderr.write("%s %s\n" % (self.address_string(), fmt % args))
        sys.stderr.flush()


def serve(host, port):
    server = ThreadingHTTPServer((host, port), Handler)
    server.daemon_threads = True

    def stop(signum, frame):
        print("Zatrzymywanie serwera panelu (sygnał %d)" % signum, flush=True)
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print("Panel Halvaren Tessary: http://%s:%d/" % (host, port), flush=True)
    try:
        server.serve_forever()
    finally:
        server.server_close()
    print("Serwer panelu zatrzymany.", flush=True)
    return 0
