"""What every program-level test stands on: the built program started as a new user would, in a home
of its own, on the test command's display and bus; loopback servers, a status area and a drag
source in this very process; and the check that a test leaves no process behind."""
import contextlib, ctypes, functools, http.server, json, os, shutil, signal, subprocess, sys, tempfile, threading
import time, traceback
import unittest
from pathlib import Path
from urllib.parse import parse_qsl, urlparse

from gi.repository import Gio, GLib

PROGRAM, TITLE, HERE = os.environ.get("TESSARY_PROGRAM", ""), "Halvaren Tessary", Path(__file__).resolve().parent
os.environ["NO_AT_BRIDGE"] = "1"  # for this process's own windows


def eventually(condition, timeout=10):
    """The condition's first true value, or its last false one after timeout seconds."""
    end = time.monotonic() + timeout
    while not (value := condition()) and time.monotonic() < end:
        time.sleep(0.02)
    return value


def sh(*argv, **options):
    return subprocess.run(list(map(str, argv)), capture_output=True, text=True, stdin=subprocess.DEVNULL, **options)


def exit_status(proc, timeout):
    with contextlib.suppress(subprocess.TimeoutExpired):
        return proc.wait(timeout)


def alive(pid):
    with contextlib.suppress(OSError):
        return Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0] != "Z"


def pages_of(pid, kill=False):
    """The content processes under pid (the sandbox's, its grandchildren), killed if asked: never another run's."""
    rows = [line.split(None, 2) for line in sh("ps", "-e", "-o", "pid=,ppid=,comm=").stdout.splitlines()]
    under, grew = {str(pid)}, True
    while grew:
        grew = {p for p, parent, _ in rows if parent in under} - under
        under |= grew
    found = [int(p) for p, _, name in rows if p in under and name == "WebKitWebProces"]
    for page in found if kill else []:
        with contextlib.suppress(ProcessLookupError):
            os.kill(page, signal.SIGKILL)
    return found


def children():
    """The live children of this process, the dead ones reaped."""
    with contextlib.suppress(ChildProcessError):
        while os.waitpid(-1, os.WNOHANG)[0]:
            pass
    return [sh("ps", "-o", "args=", pid).stdout.strip() for pid in sh("pgrep", "-P", os.getpid()).stdout.split()
            if alive(pid)]


def windows(title, visible=True):
    return sorted(sh("xdotool", "search", *(["--onlyvisible"] if visible else []), "--name", f"^{title}$",
                     env={**os.environ, "LC_ALL": "C.UTF-8"}).stdout.split())


def window(title, timeout=15):
    return (eventually(lambda: windows(title), timeout) or [None])[0]


def xdo(*args):  # after "type", every word is typed
    sh("xdotool", *args)


def close_request(xid):
    """What a window manager sends when the user clicks the close button."""
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    display = ctypes.c_void_p(x.XOpenDisplay(None))
    atom = lambda name: x.XInternAtom(display, name, 0)  # noqa: E731  (atoms are small numbers)
    # An XClientMessageEvent: type, serial, send_event, display, window, message type, format, data.
    event = (ctypes.c_ulong * 24)(33, 0, 0, 0, int(xid), atom(b"WM_PROTOCOLS"), 32, atom(b"WM_DELETE_WINDOW"))
    x.XSendEvent(display, ctypes.c_ulong(int(xid)), 0, ctypes.c_long(0), event)
    x.XCloseDisplay(display)


class Handler(http.server.BaseHTTPRequestHandler):
    """Notes every request as "METHOD PATH WHO" (WHO: "engine" for the web engine, else "probe"), and
    the setup page's calls POSTed to /calls as {page, calls: [[kind, value]...]}. "/" is the page, after the delay;
    /download?name=N&size=S[&slow=SECONDS] a file; routes answer their paths; the rest 204."""

    def do_POST(self):
        self.note()
        body = self.rfile.read(int(self.headers["Content-Length"]))
        if self.path == "/calls":
            sent = json.loads(body)
            self.server.calls += [(sent["page"], kind, value) for kind, value in sent["calls"]]
        self.answer(204)

    def do_GET(self):
        self.note()
        url = urlparse(self.path)
        query = dict(parse_qsl(url.query))
        if url.path == "/":
            time.sleep(self.server.delay)
            self.answer(self.server.status, self.server.page.encode())
        elif url.path in self.server.routes:
            self.answer(*self.server.routes[url.path](query))
        elif url.path == "/download":
            size = int(query["size"])
            self.answer(200, headers=[("Content-Disposition", f'attachment; filename="{query["name"]}"')], size=size)
            for at in range(0, size, 65536):
                self.wfile.write(bytes(i % 251 for i in range(at, min(at + 65536, size))))
                time.sleep(float(query.get("slow", 0)))
        else:
            self.answer(204)

    def note(self):
        who = "engine" if "AppleWebKit" in self.headers.get("User-Agent", "") else "probe"
        self.server.requests.append(f"{self.command} {self.path} {who}")

    def answer(self, status, body=b"", headers=(), size=None):
        self.send_response(status)
        for name, value in (*headers, ("Content-Type", "text/html"), ("Content-Length", size or len(body))):
            self.send_header(name, str(value))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *_):
        pass


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    PANEL = "<!doctype html><title>Panel</title><h1>Panel</h1><script>onload = () => fetch('/beacon?Panel')</script>"

    def __init__(self, host="127.0.0.1", port=8477, page=PANEL, status=200, delay=0, routes=None):
        super().__init__((host, port), Handler)
        self.page, self.status, self.delay, self.routes = page, status, delay, routes or {}
        self.requests, self.calls, self.errors = [], [], []
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def page_calls(self, kind):
        """The setup page's calls of a kind, from the page loaded last (a killed one's may land after)."""
        last = [value for _, k, value in self.calls if k == "page"][-1:]
        return [value for page, k, value in self.calls if k == kind and last == [page]]

    def handle_error(self, *_):
        """A client that went away (a probe that gave up, a page replaced) is none of the server's fault; anything
        else is the test's own, and fails it."""
        if not isinstance(sys.exc_info()[1], ConnectionError):
            self.errors.append(traceback.format_exc())


def gtk():
    import gi
    for name in "Gdk", "Gtk":
        gi.require_version(name, "3.0")


def symbolic_difference(path, size=64):
    """The share of pixels covered in one and not the other: the icon as GTK's symbolic loader draws it for a status
    area (every shape filled in the panel's colour), and the icon drawn plainly."""
    gtk()
    from gi.repository import Gdk, GdkPixbuf, Gtk
    theme = Gtk.IconTheme.new()
    theme.set_search_path([str(Path(path).parents[3]), "/usr/share/icons"])  # hicolor is known from the latter
    info = theme.lookup_icon(Path(path).stem, size, Gtk.IconLookupFlags.FORCE_SIZE)
    covered = [[pixel[3] > 127 for pixel in zip(*[iter(image.get_pixels())] * 4)] for image in
               (info.load_symbolic(Gdk.RGBA(red=1, green=1, blue=1, alpha=1))[0],
                GdkPixbuf.Pixbuf.new_from_file_at_size(str(path), size, size))]
    return sum(a != b for a, b in zip(*covered)) / len(covered[0])


@functools.cache
def atspi():
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
    Atspi.init()
    return Atspi


def accessible(pid, timeout=10):
    """The program's application on the accessibility bus, as a screen reader finds it (started with NO_AT_BRIDGE=0)."""
    desktop = atspi().get_desktop(0)
    return eventually(lambda: next((app for app in map(desktop.get_child_at_index, range(desktop.get_child_count()))
                                    if app and app.get_process_id() == pid), None), timeout)


def nodes(node, depth=12):
    """The node and what lies below it, depth first."""
    with contextlib.suppress(GLib.Error):
        yield node
        for child in map(node.get_child_at_index, range(node.get_child_count() if depth else 0)):
            if child:
                yield from nodes(child, depth - 1)


def alert(pid, role="LABEL"):
    """The parts of a role of the program's alert, once one is shown."""
    Atspi = atspi()
    return eventually(lambda: [node for app in [accessible(pid)] if app
                               for top in nodes(app, 1) if top.get_role() == Atspi.Role.ALERT
                               for node in nodes(top) if node.get_role() == getattr(Atspi.Role, role)])


@functools.cache
def desktop_loop():
    """One thread of this process runs GLib's main loop, for the bus and the toolkit."""
    threading.Thread(target=GLib.MainLoop().run, daemon=True).start()


class StatusArea:
    """A desktop's status area on the session bus, reading the items that register as one does."""
    XML = """<node><interface name="org.kde.StatusNotifierWatcher"><method name="RegisterStatusNotifierItem">
<arg type="s" direction="in"/></method></interface></node>"""  # the item asks for nothing else

    def __init__(self):
        self.bus, self.items = Gio.bus_get_sync(Gio.BusType.SESSION), []
        self.bus.register_object("/StatusNotifierWatcher", Gio.DBusNodeInfo.new_for_xml(self.XML).interfaces[0],
                                 self.on_call, None, None)
        self.call(("org.freedesktop.DBus", "/org/freedesktop/DBus"), "org.freedesktop.DBus.RequestName",
                  ("(su)", ("org.kde.StatusNotifierWatcher", 0)), "(u)")
        desktop_loop()

    def on_call(self, bus, sender, path, interface, method, params, invocation):
        item = params.unpack()[0]
        self.items.append((sender, item if item.startswith("/") else "/StatusNotifierItem"))
        invocation.return_value(None)

    def call(self, where, method, args, reply):
        interface, method = method.rsplit(".", 1)
        return self.bus.call_sync(*where, interface, method, GLib.Variant(*args), GLib.VariantType(reply), 0, 5000,
                                  None).unpack()

    def prop(self, name):
        return self.call(self.items[0], "org.freedesktop.DBus.Properties.Get",
                         ("(ss)", ("org.kde.StatusNotifierItem", name)), "(v)")[0]

    def menu(self):
        """The item's menu as (id, label, has a shortcut), "---" for a separator, once there is one."""
        with contextlib.suppress(IndexError, GLib.Error):
            layout = self.call((self.items[0][0], self.prop("Menu")), "com.canonical.dbusmenu.GetLayout",
                               ("(iias)", (0, -1, [])), "(u(ia{sv}av))")[1][2]
            return [(entry, "---" if props.get("type") == "separator" else props["label"], "shortcut" in props)
                    for entry, props, _ in layout]

    def click(self, label):
        entry = next(entry for entry, text, _ in self.menu() if text == label)
        self.call((self.items[0][0], self.prop("Menu")), "com.canonical.dbusmenu.Event",
                  ("(isvu)", (entry, "clicked", GLib.Variant("i", 0), 0)), "()")


status_area = functools.cache(StatusArea)  # one per process


class DragSource:
    """A file manager's window to drag a file from; `events` says how far each drag got on its side."""

    def __init__(self, path):
        self.events = []
        desktop_loop()
        GLib.idle_add(self.build, path)

    def build(self, path):
        gtk()
        from gi.repository import Gdk, Gtk
        self.window, button = Gtk.Window(title="drag source"), Gtk.Button(label="drag me")
        button.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [Gtk.TargetEntry.new("text/uri-list", 0, 0)],
                               Gdk.DragAction.COPY)
        button.connect("drag-data-get", lambda w, c, data, *_: data.set_uris([GLib.filename_to_uri(str(path))]))
        for event in ("drag-begin", "drag-end"):
            button.connect(event, lambda *_, e=event: self.events.append(e))
        self.window.add(button)
        self.window.set_default_size(120, 80)
        self.window.move(1460, 20)
        self.window.show_all()

    def close(self):
        GLib.idle_add(self.window.destroy)


class User:
    """Someone who has never run the program; orphans of what is started for them become ours."""

    def __init__(self):
        ctypes.CDLL(None).prctl(36, 1)  # PR_SET_CHILD_SUBREAPER
        self.home = Path(tempfile.mkdtemp(prefix="tessary-test-"))
        self.data, self.procs, self.servers = self.home / ".local/share/HalvarenTessary", [], []

    def env(self, **extra):
        keep = "PATH DISPLAY WAYLAND_DISPLAY GDK_BACKEND XAUTHORITY DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR".split()
        return {**{k: os.environ[k] for k in keep if k in os.environ}, "HOME": str(self.home),
                "XDG_DATA_HOME": str(self.home / ".local/share"), "XDG_CONFIG_HOME": str(self.home / ".config"),
                "NO_AT_BRIDGE": "1", "LANG": "C.UTF-8", **extra}

    def start(self, *argv, cwd=None, **env):
        """A process of this user's, its output in the file `log`."""
        with open(self.home / f"proc-{len(self.procs)}.log", "wb") as log:
            proc = subprocess.Popen(list(map(str, argv)), env=self.env(**env), cwd=cwd or self.home,
                                    stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
        proc.log = Path(log.name)
        self.procs.append(proc)
        return proc

    def run(self, *argv, **env):
        return sh(*argv, env=self.env(**env), cwd=self.home, timeout=60)

    def serve(self, **options):
        self.servers.append(Server(**options))
        return self.servers[-1]

    def write(self, name, content, mode=0o644):
        path = self.home / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(content) if isinstance(content, bytes) else path.write_text(content)
        path.chmod(mode)
        return path

    def program(self, name="bare", wizard=None, setup_page=None, shipped=False):
        """The program in a prefix of its own, shipping no code, or a wizard, the build's bin/ and a setup page,
        or all the build ships."""
        exe = self.home / name / "bin/halvaren-tessary"
        if not exe.exists():  # a copy already running cannot be written
            exe.parent.mkdir(parents=True)
            shutil.copy(PROGRAM, exe)
        if shipped:
            shutil.copytree(Path(PROGRAM).parent.parent / "share", self.home / name / "share", symlinks=True)
        if wizard is not None:
            share = self.home / name / "share/halvaren-tessary"
            self.write(share / "app-root/installer/bootstrap.sh", wizard)
            self.write(share / "setup.html", setup_page)
            shutil.copytree(Path(PROGRAM).parent.parent / "share/halvaren-tessary/bin", share / "bin")
        return exe

    def close(self):
        """Stops what was started; the processes still there after a few seconds, and what failed in a server."""
        for proc in self.procs:
            proc.kill()
            proc.wait()
        for server in self.servers:
            server.shutdown()
            server.server_close()
        # A guardian stops what a killed program left behind within about three seconds.
        stayed = [] if eventually(lambda: not children(), 6) else children()
        for _ in range(20):  # bounded: one stuck in the kernel must not hang the suite
            if not eventually(children, 0.1):
                break
            sh("pkill", "-KILL", "-P", os.getpid())
        shutil.rmtree(self.home, ignore_errors=True)
        return stayed + [error for server in self.servers for error in server.errors]


class ProgramTest(unittest.TestCase):
    """A test with a user of its own, and a fresh one for each row of a table."""
    maxDiff = None

    def setUp(self):
        self.user = User()
        self.addCleanup(lambda: self.assertEqual(self.user.close(), [], "processes left behind, or a server failed"))

    @contextlib.contextmanager
    def row(self, name):
        with self.subTest(name):
            user = User()
            try:
                yield user
            finally:
                self.assertEqual(user.close(), [], "processes left behind, or a server failed")

    def until(self, condition, timeout=10, msg=None):
        self.assertTrue(eventually(condition, timeout), msg)

    def quit_promptly(self, proc, within=2.0):
        """Asks the program to quit as a logout does: it ends well, and at once."""
        start = time.monotonic()
        proc.send_signal(signal.SIGTERM)
        self.assertEqual(exit_status(proc, 10), 0, log := proc.log.read_text(errors="replace"))
        self.assertLess(took := time.monotonic() - start, within)
        if os.environ.get("GDK_BACKEND") != "wayland":  # the headless compositor has no seat: GDK complains of it
            self.assertNotIn("-CRITICAL **", log, "a toolkit call that was wrong")
        return took


if __name__ == "__main__":  # harness.py --list MODULE: its test cases, for CTest
    def ids(suite):
        for test in suite:
            yield from ids(test) if isinstance(test, unittest.TestSuite) else [test.id().split(".", 1)[1]]
    print(";".join(ids(unittest.defaultTestLoader.loadTestsFromName(sys.argv[2]))))
