"""The built program on the test display, one run per scenario: the command line and single
instance, the window, keyboard, file chooser, drops, downloads and status menu, the backend's
supervision, the first run's wizard, the navigation rule in the real web engine, and listeners on
the panel's port that are not the panel."""
import contextlib, os, shlex, shutil, signal, subprocess, sys, threading, time
from pathlib import Path
from urllib.parse import unquote

from harness import (HERE, PROGRAM, TITLE, DragSource, ProgramTest, accessible, alert, alive, atspi, close_request,
                     eventually, exit_status, nodes, pages_of, sh, status_area, symbolic_difference, window, windows, xdo)

PANEL = """<!doctype html><title>Panel</title><style>body{margin:0} input,div{display:block;width:600px;height:80px}
</style><input id=t><input id=f type=file><div id=d>drop zone</div><div id=c tabindex=0>canvas</div><script>
const say = (what, value = '') => fetch('/' + what + '?' + encodeURIComponent(value));
const get = (query) => Object.assign(document.body.appendChild(document.createElement('a')),
                                     {href: '/download?' + query, download: ''}).click();
t.oninput = () => say('value', t.value);
f.onchange = () => say('chosen', [...f.files].map(x => x.name + ':' + x.size).join());
let over = false;
ondragover = (e) => over || (over = true, say('over', e.dataTransfer.types));  // a zone for files opens on "Files"
d.ondragover = (e) => e.preventDefault();
d.ondrop = async (e) => { e.preventDefault(); say('dropped', e.clientX + (await Promise.all([...e.dataTransfer.files].map(
  async (f) => `:${f.name}:${f.size}:${f.type}:${await f.text()}`))).join()); };
c.onkeydown = (e) => e.ctrlKey && e.key.length === 1 && (e.preventDefault(), say('took', e.key));  // a flow editor's
onbeforeunload = (e) => { if (t.value === 'unsaved') e.preventDefault(), navigator.sendBeacon('/asked-to-leave'); };
onpagehide = () => navigator.sendBeacon('/left');
const outcome = (f) => Promise.race([Promise.resolve().then(f).then((v) => v.state || v,
  (e) => e.name || 'geo' + e.code), new Promise((ok) => setTimeout(ok, 2000, 'unanswered'))]);
const ask = async () => say('asked', (await Promise.all([() => Notification.requestPermission(),
  () => new Promise((ok, no) => navigator.geolocation.getCurrentPosition(ok, no)), () => navigator.clipboard.readText(),
  () => navigator.mediaDevices.getUserMedia({audio: true, video: true}),
  () => navigator.mediaDevices.enumerateDevices(),
  () => new Promise((ok) => { onpointerlockchange = () => ok('locked'); d.requestPointerLock(); }),
  () => navigator.requestMediaKeySystemAccess('org.w3.clearkey', [{initDataTypes: ['cenc']}])].map(outcome))).join());
onkeydown = (e) => ({F2: () => say('files', f.files.length), F3: () => get('name=a.bin&size=300000'),
                     F4: () => get('name=slow.bin&size=3000000&slow=0.5'), F6: ask,
                     F7: () => c.focus(), F8: () => t.focus()})[e.key]?.();
onload = () => { t.focus(); say('ready', document.cookie.split('; ').sort().join());
  document.cookie = 'script=1; max-age=864000', document.cookie = 'session=1', fetch('/cookie'); };</script>"""


class RunningPanel(ProgramTest):
    """A panel already running, whose page reports what reaches it, and a status area on the bus."""

    def setUp(self):
        super().setUp()
        cookie = ("Set-Cookie", "server=1; Max-Age=864000")
        self.status, self.panel = status_area(), self.user.serve(page=PANEL, status=404,
                                                                 routes={"/cookie": lambda _: (204, b"", [cookie])})
        self.status.items.clear()
        self.app = self.user.start(PROGRAM, WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS="0")  # as the engine reads it
        self.window = window(TITLE)
        self.assertTrue(self.window and self.reported("ready"), self.app.log.read_text())
        # The page runs in the engine's sandbox: namespaces of its own, and a system call filter.
        ns = lambda pid, kind: os.readlink(f"/proc/{pid}/ns/{kind}")  # noqa: E731
        pages = pages_of(self.app.pid)
        self.assertTrue(pages and all("Seccomp:\t2" in Path(f"/proc/{p}/status").read_text() and
                                      all(ns(p, k) != ns(self.app.pid, k) for k in ("mnt", "net")) for p in pages))

    def reported(self, what, value=""):
        return eventually(lambda: self.seen(f"GET /{what}?{value}"), 5)

    def seen(self, request):
        return self.panel.requests.count(request + " engine")

    def keys(self, *keys):
        xdo("windowfocus", "--sync", self.window, "key", "--delay", 40, *keys)

    def start_again_shows_the_window(self):
        return exit_status(self.user.start(PROGRAM), 15) == 0 and window(TITLE, 5) == self.window

    def test_keys_go_to_the_page_first_a_second_start_only_shows_the_window_and_cookies_outlive_a_quit(self):
        self.assertFalse(self.user.data.exists(), "no installation looked at")
        xdo("windowfocus", "--sync", self.window, "type", "--delay", 20, "hello")
        for keys, value in (("ctrl+a ctrl+c End ctrl+v", "hellohello"), ("ctrl+a ctrl+x", ""),  # the page's own
                            ("alt+e l", "hellohello"), ("ctrl+z", ""), ("ctrl+shift+z", "hellohello")):  # the menu's
            self.keys(*keys.split())
            self.until(lambda: [r for r in self.panel.requests if "/value?" in r][-1:] ==
                       [f"GET /value?{value} engine"], 5, keys)
        # A canvas of the page's own takes every Ctrl key: the menus act on none of them but the program's own two.
        every, typed = windows(TITLE, visible=False), len(self.panel.requests)
        self.keys("F7", *"ctrl+a ctrl+c ctrl+x ctrl+v ctrl+z ctrl+shift+z ctrl+h ctrl+m ctrl+w".split())
        self.until(lambda: not windows(TITLE), 5)
        self.assertEqual([r.split()[1] for r in self.panel.requests[typed:] if "/took?" in r],
                         [f"/took?{k}" for k in "acxvzZhm"], "the page did not get each key, or got Ctrl+W")
        self.assertNotIn("GET /value?hellohello engine", self.panel.requests[typed:], "a menu edited the page")
        headless = self.user.start(PROGRAM, DISPLAY="", WAYLAND_DISPLAY="")
        self.assertEqual(exit_status(headless, 10), 1)
        self.assertRegex(headless.log.read_text(), r"^halvaren-tessary: no graphical display.*xvfb-run")
        self.assertEqual(self.user.run(PROGRAM, "--version", DISPLAY="").stdout,
                         f"halvaren-tessary {os.environ.get('TESSARY_VERSION')}\n")
        self.assertEqual(windows(TITLE), [], "asking for the version leaves the window alone")
        self.assertTrue(self.start_again_shows_the_window())
        self.keys("F8", "ctrl+h")  # the page leaves it
        self.until(lambda: not windows(TITLE), 5)
        self.assertTrue(self.start_again_shows_the_window())
        self.keys("F6")  # every permission the page asks for is refused at once, with no prompt
        asked = eventually(lambda: [unquote(r) for r in self.panel.requests if "/asked?" in r], 5)
        self.assertRegex((asked or [""])[0], r"\?denied,geo1,NotAllowedError,(?!.*(granted|locked))")
        self.assertEqual(windows(TITLE, visible=False), every, "never a second window")
        self.assertEqual(self.seen("GET /"), 1, "never reloaded")
        # Unsaved work: Ctrl+Q lets the page ask, and waits for the user; a logout does not wait.
        xdo("windowfocus", "--sync", self.window, "key", "F8", "ctrl+a", "type", "unsaved")
        self.keys("ctrl+q")
        self.assertIsNone(exit_status(self.app, 3), "quit without asking")
        self.assertEqual(self.seen("POST /asked-to-leave"), 1)
        self.quit_promptly(self.app)
        # A server's cookie and a script's come back; the session's does not.
        self.app = self.user.start(PROGRAM)
        self.assertTrue(self.reported("ready", "script%3D1%2Cserver%3D1"), self.panel.requests)
        self.window = window(TITLE)
        self.keys("ctrl+q")
        self.assertEqual(exit_status(self.app, 10), 0, self.app.log.read_text())

    def test_status_menu_browser_and_file_chooser_work(self):
        self.assertEqual([entry[1:] for entry in eventually(self.status.menu)], [
            ("Otwórz Tessary", False), ("Panel w przeglądarce", False), ("---", False), ("Zakończ", False)])
        self.assertEqual(self.status.prop("Title"), TITLE)
        icon = f"{self.status.prop('IconThemePath')}/hicolor/scalable/apps/{self.status.prop('IconName')}.svg"
        self.assertLess(symbolic_difference(icon), 0.01, "a status area draws the icon as another shape")
        # A default browser of the user's own that notes what it was given, and in what environment.
        u = self.user
        browser = u.write("browser.sh", '#!/bin/sh\necho "$1$GDK_GL$WEBKIT_DISABLE_DMABUF_RENDERER" >>~/url\n', 0o700)
        u.write(".local/share/applications/browser.desktop",
                f"[Desktop Entry]\nType=Application\nName=B\nExec={browser} %u\nMimeType=x-scheme-handler/http;\n")
        u.write(".config/mimeapps.list", "[Default Applications]\nx-scheme-handler/http=browser.desktop\n")
        close_request(self.window)
        self.until(lambda: not windows(TITLE), 5)
        self.status.click("Otwórz Tessary")
        self.assertEqual(window(TITLE, 5), self.window)
        self.status.click("Panel w przeglądarce")
        opened = u.home / "url"
        self.until(lambda: opened.exists() and opened.read_text() == "http://127.0.0.1:8477/\n")
        # The file input, clicked as a user does: one chooser per request; a link gives its file.
        (u.write("rec/sesja 1.bin", "x" * 1234).parent / "link.bin").symlink_to(u.home / "rec/sesja 1.bin")

        def chooser(*keys):
            xdo("mousemove", "--window", self.window, 300, 150, "click", 1)
            xdo("windowfocus", "--sync", window("Wybierz nagranie sesji", 10), "key", *keys)
        chooser("ctrl+l", "type", "--delay", 20, u.home / "rec/link.bin")
        xdo("sleep", 0.6, "key", "Return")
        self.assertTrue(self.reported("chosen", "sesja%201.bin%3A1234"))
        chooser("Escape")
        self.until(lambda: not windows("Wybierz nagranie sesji"), 5)
        self.keys("F2")
        self.assertTrue(self.reported("files", "1"), "cancelling keeps what was chosen")
        # A quit from the status menu with unsaved work brings the hidden window back with the page's question.
        xdo("windowfocus", "--sync", self.window, "key", "F8", "ctrl+a", "type", "unsaved")
        close_request(self.window)
        self.until(lambda: not windows(TITLE), 5)
        self.status.click("Zakończ")
        self.assertEqual(window(TITLE, 5), self.window)
        xdo("windowfocus", "--sync", self.window, "sleep", 0.5, "key", "Escape")  # stays
        self.assertIsNone(exit_status(self.app, 1))
        self.status.click("Zakończ")
        xdo("sleep", 0.5, "windowfocus", "--sync", self.window, "key", "Return")  # leaves
        self.assertEqual(exit_status(self.app, 10), 0)
        self.assertEqual(self.seen("POST /asked-to-leave"), 2)

    def test_drops_never_replace_the_page_and_downloads_ask_where_to_save(self):
        u = self.user
        source = DragSource(u.write("nagranie.txt", "recording"))
        self.addCleanup(source.close)
        self.assertTrue(window("drag source"))
        # Onto the page's drop zone, its file input, then beside them held long, as a hand moves: the page answers.
        for y, held in ((220, 0), (150, 0), (500, 4)):
            xdo("mousemove", 1520, 60, "mousedown", 1, "sleep", 0.2, "mousemove", 1500, 80, "sleep", 0.2,
                *[a for x in (250, 270, 290, 300) for a in ("mousemove", "--window", self.window, x, y, "sleep", 0.3)],
                "sleep", held, "mouseup", 1, "sleep", 0.5)
        # How far the drags got: begun on their side, over the page, into its zone with the file; the page stays.
        self.until(lambda: source.events == ["drag-begin", "drag-end"] * 3, 5, source.events)
        self.assertTrue(self.reported("over", "Files"), "the drags never reached the page as files")
        self.assertTrue(self.reported("dropped", "300%3Anagranie.txt%3A9%3Atext%2Fplain%3Arecording"),
                        "the page's drop zone did not get its file at the drop point")
        self.assertTrue(self.reported("chosen", "nagranie.txt%3A9"), "the file input did not take its file")
        self.keys("F2")
        self.assertTrue(self.reported("files", "1"), "the page no longer answers")
        self.assertEqual((self.seen("GET /"), self.seen("POST /left")), (1, 0), "the page was replaced")
        # Downloads started together ask where to save in turn; only a finished one leaves a file.
        (saved := u.home / "saved").mkdir()
        self.keys("F3", "F3", "F4")
        for name in ("a.bin", "", "slow.bin"):
            dialog = window("Zapisz plik", 10)
            self.assertEqual(windows("Zapisz plik"), [dialog], "one dialog at a time")
            xdo("windowfocus", "--sync", dialog, "key", "ctrl+a", "type", "--delay", 10, name and saved / name)
            xdo("sleep", 0.5, "key", "Return" if name else "Escape")
            self.until(lambda: dialog not in windows("Zapisz plik"), 5)
        a = saved / "a.bin"
        self.until(lambda: a.exists() and a.read_bytes() == bytes(i % 251 for i in range(300000)))
        self.keys("ctrl+q")  # during the slow one
        self.assertEqual(exit_status(self.app, 10), 0, self.app.log.read_text())
        self.assertEqual(sorted(str(p.relative_to(u.home)) for p in u.home.rglob("*.bin*")), ["saved/a.bin"],
                         "a cancelled download, or one running at quit, leaves nothing")
        self.assertEqual(self.seen("GET /"), 1, "the panel stayed as it was")


class Chrome(ProgramTest):
    def test_a_small_dark_screen_the_keyboard_and_a_screen_reader_find_their_way(self):
        """A 1366×768 screen of its own with a dark theme: the window inside it with its icon, the menu bar readable,
        each menu opened by Alt and its letter, the page focused for a screen reader from the start and again after
        a dialog, no context menu entry that would open a second window, and a quit with a menu open."""
        u, Atspi, (read, write) = self.user, atspi(), os.pipe()
        # -noreset: else the server resets as xdpyinfo leaves, and the program finds no display.
        u.procs.append(subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1366x768x24", "-nolisten",
                                         "tcp", "-noreset"], pass_fds=[write], stderr=subprocess.DEVNULL))
        os.close(write)
        env = {**os.environ, "DISPLAY": f":{os.read(read, 16).decode().strip()}"}
        x = lambda *args: sh(*args, env=env).stdout  # noqa: E731
        self.until(lambda: "1366x768" in x("xdpyinfo"), 10, "the small screen did not come up")
        u.serve(page="<title>Panel</title><a href=/x style='display:block;height:300px'>link</a>")
        app = u.start(PROGRAM, DISPLAY=env["DISPLAY"], GTK_THEME="Adwaita:dark", NO_AT_BRIDGE="0")
        shown = eventually(lambda: x("xdotool", "search", "--onlyvisible", "--name", f"^{TITLE}$").split(), 15)
        self.assertTrue(shown, app.log.read_text())
        at = dict(line.split("=") for line in x("xdotool", "getwindowgeometry", "--shell", shown[0]).split())
        self.assertTrue(0 <= int(at["X"]) and int(at["X"]) + int(at["WIDTH"]) <= 1366 and
                        0 <= int(at["Y"]) and int(at["Y"]) + int(at["HEIGHT"]) <= 768, at)
        self.assertIn("Icon (", x("xprop", "-id", shown[0], "_NET_WM_ICON"))
        focused = lambda: Atspi.Role.DOCUMENT_WEB in [  # noqa: E731
            n.get_role() for n in nodes(accessible(app.pid), 30) if n.get_state_set().contains(Atspi.StateType.FOCUSED)]
        self.until(focused, 10, "the page does not hold the focus")
        # The menu bar's colours, from a screenshot: its background, and the text that stands out most from it.
        colours = [tuple(map(int, line.split("(")[1].split(")")[0].split(",")[:3])) for line in sorted(x(
            "convert", f"x:{shown[0]}", "-crop", f"{at['WIDTH']}x20+0+2", "-format", "%c", "histogram:info:-").splitlines(),
            key=lambda line: -int(line.split(":")[0]))]
        light = [sum(w * ((c / 255) / 12.92 if c <= 10 else ((c / 255 + 0.055) / 1.055) ** 2.4)
                     for w, c in zip((0.2126, 0.7152, 0.0722), rgb)) + 0.05 for rgb in colours]
        self.assertGreaterEqual(max(max(l, light[0]) / min(l, light[0]) for l in light), 4.5, colours[:3])
        menus = [n for n in nodes(accessible(app.pid), 6) if n.get_role() == Atspi.Role.MENU and
                 n.get_parent().get_role() == Atspi.Role.MENU_BAR]
        self.assertEqual([(m.get_name(), m.get_key_binding(0).split(";")[0]) for m in menus],
                         [("Halvaren Tessary", "<Alt>h"), ("Edycja", "<Alt>e"), ("Okno", "<Alt>o")])
        for menu, key in zip(menus + menus[:1], ("alt+h", "alt+e", "alt+o", "F10")):  # the page leaves them
            x("xdotool", "windowfocus", "--sync", shown[0], "key", key)
            self.until(lambda: menu.get_state_set().contains(Atspi.StateType.SELECTED), 5, menu.get_name())
            x("xdotool", "key", "Escape", "Escape")
        x("xdotool", "key", "--delay", 300, "alt+h", "o")  # "O aplikacji Halvaren Tessary", from the keyboard
        about = lambda: [n.get_name() for top in nodes(accessible(app.pid), 1)  # noqa: E731
                         if top.get_role() == Atspi.Role.DIALOG for n in nodes(top)]
        self.until(lambda: os.environ.get("TESSARY_VERSION") in about(), 5, "no version in the about dialog")
        x("xdotool", "key", "Escape")
        self.until(lambda: not about() and focused(), 5, "the focus did not return to the page")
        x("xdotool", "mousemove", "--window", shown[0], 100, 100, "click", 3)
        entries = lambda: [n.get_name() for n in nodes(accessible(app.pid), 30)  # noqa: E731
                           if n.get_role() == Atspi.Role.MENU_ITEM and n.get_state_set().contains(Atspi.StateType.SHOWING)]
        self.assertIn("Open Link", eventually(entries, 5))
        self.assertEqual([e for e in entries() if "Window" in e], [], "a context menu entry opens a new window")
        x("xdotool", "key", "Escape", "alt+e")
        self.until(lambda: menus[1].get_state_set().contains(Atspi.StateType.SELECTED), 5, "Edycja")
        self.quit_promptly(app)  # with a menu open


class Backend(ProgramTest):
    """Installed code, in a folder a shell must not run, whose uv serves the panel from a child."""
    ROOT = "my code'; touch pwned; '"
    UV = """#!/bin/bash
echo "uv stand-in: $* in $PWD$GDK_GL$WEBKIT_DISABLE_DMABUF_RENDERER"
echo $$ > ~/uv.pid
[ -n "$BURST" ] && head -c 150000000 /dev/zero | tr '\\0' x
cd ~/site && python3 -u -m http.server --bind 127.0.0.1 8477 &
echo $! > ~/server.pid
[ -n "$STUBBORN" ] && trap '' TERM
wait
[ -n "$STUBBORN" ] && sleep 60
"""

    def setUp(self):
        super().setUp()
        u = self.user
        for name, text in ((f"{self.ROOT}/.venv/bin/tessary", ""), (".local/share/HalvarenTessary/approot",
                           f"{u.home}/{self.ROOT}\n"), ("site/index.html", "<script>onload=()=>fetch('b')</script>")):
            u.write(name, text)
        u.write(".local/bin/uv", self.UV, 0o700)
        self.log = u.write(".local/share/HalvarenTessary/native-shell.log", "output of an earlier start\n")

    def panels(self):
        with contextlib.suppress(FileNotFoundError):  # between the log's two parts
            return self.log.read_text().count('"GET /b HTTP')

    def run_backend(self, terminal=False, **env):
        """Starts the program, from a terminal when asked, until the panel shows; uv's and the server's pids."""
        exe = str(self.user.program())
        argv = ["script", "-qefc", f"exec {shlex.quote(exe)}", "/dev/null"] if terminal else [exe]
        self.app = self.user.start(*argv, **env)
        self.until(self.panels, 20, self.app.log.read_text() + self.log.read_text())
        return self.pids()

    def pids(self):
        return [int((self.user.home / f"{name}.pid").read_text()) for name in ("uv", "server")]

    def test_is_started_from_a_terminal_logged_restarted_and_stopped_with_its_whole_group(self):
        self.user.write(".bash_profile", "stty sane\n")  # stops a shell in a background group
        uv, server = self.run_backend(terminal=True, NO_AT_BRIDGE="0")
        # In its folder, with the user's environment, not the toolkit settings the program runs with.
        self.assertIn(f"uv stand-in: run tessary serve in {self.user.home}/{self.ROOT}\n", self.log.read_text())
        self.assertEqual(list(self.user.home.rglob("pwned")), [], "a folder's name was run")
        self.assertNotIn("earlier start", self.log.read_text(), "emptied at the start")
        program = sh("pgrep", "-P", self.app.pid, "-x", "halvaren-tessar").stdout.strip()
        pages_of(self.app.pid, kill=True)
        self.until(lambda: self.panels() == 2, msg="the panel is back after the engine died")
        for panels in 3, 4, 5:  # uv ends with its server: the backend is gone, and is started again
            os.kill(server, signal.SIGKILL)
            self.until(lambda: self.panels() == panels, 20, "the panel is back after the backend died")
            self.assertFalse(alive(uv))
            uv, server = self.pids()
        os.kill(server, signal.SIGKILL)  # a fourth time within five minutes: no more, and the user is told
        texts = [label.get_name() for label in alert(int(program))]
        self.assertTrue("Backend przestał działać" in texts and any(f"\n{self.log}\n" in t for t in texts), texts)
        self.assertEqual(self.log.read_text().count("uv stand-in: run tessary serve"), 4, "every run in the log")
        # The alert left open, the user serves the panel by hand: a second start tries again, and shows it.
        mine = self.user.serve(page="<script>onload = () => fetch('mine')</script>")
        shown = lambda: mine.requests.count("GET /mine engine")  # noqa: E731
        self.assertEqual(exit_status(self.user.start(self.user.program()), 15), 0)
        self.until(shown, 20, "the panel served by hand was not shown")
        self.assertEqual(self.log.read_text().count("uv stand-in: run tessary serve"), 4, "a backend beside it")
        for _ in range(3):  # the page gives up too: a second alert beside the first
            before = shown()
            eventually(lambda: pages_of(self.app.pid, kill=True))
            eventually(lambda: shown() > before, 5)
        titles = lambda: {label.get_name() for label in alert(int(program))}  # noqa: E731
        self.until(lambda: {"Backend przestał działać", "Strona przestała działać"} <= titles(), 10, titles())
        start = time.monotonic()
        sh("kill", "-TERM", program)  # a logout answers both
        self.assertEqual(exit_status(self.app, 10), 0, self.app.log.read_text())
        self.assertLess(time.monotonic() - start, 1.0)

    def test_ignoring_the_polite_stop_is_killed_after_three_seconds(self):
        uv, server = self.run_backend(STUBBORN="1")  # its server, started first, heeds the stop
        start = time.monotonic()
        self.app.send_signal(signal.SIGTERM)
        self.until(lambda: not alive(server), 1, "the polite stop reached the group's leader only")
        self.assertTrue(alive(uv))
        self.assertEqual(exit_status(self.app, 10), 0)
        self.assertGreater(time.monotonic() - start, 2.9)
        self.until(lambda: not alive(uv), 1)

    def test_outlives_no_program_killed_outright(self):
        uv, server = self.run_backend(BURST="1")  # 150 MB before it serves: the log keeps the newest part
        sizes = [self.log.stat().st_size, Path(f"{self.log}.1").stat().st_size]
        self.assertTrue(max(sizes) <= 64 << 20 < sum(sizes), sizes)
        self.app.kill()
        self.until(lambda: not alive(uv) and not alive(server), 4)


# Sends the page calls to the test's recorder in batches, each after the one before so that they
# arrive in order, tagged with this load of the page; a reloaded page starts over. Lines of a
# flood ("000000001 xx…") are checked here, in order, and counted before the ending; at the
# 100000th the page is busy for four seconds.
RECORDER = """<!doctype html><title>Recorder setup page</title><script>
const id = Math.random().toString(36).slice(2), tail = ' ' + 'x'.repeat(90);
let batch = [], sent = Promise.resolve(), flood = 0, wrong = '';
const send = (body = JSON.stringify({page: id, calls: batch.splice(0)})) =>
  sent = sent.finally(() => fetch('http://127.0.0.1:8478/calls', {method: 'POST', mode: 'no-cors', body}));
const record = (kind, value) => batch.push([kind, value]) === 1 && setTimeout(send, 30);
const stall = (until) => { while (Date.now() < until); };  // the page busy, taking no script meanwhile
const wrLog = (line) => !/^\\d{9} /.test(line) ? record('log', line) : (++flood === 100000 && stall(Date.now() + 4000),
  line === String(flood).padStart(9, '0') + tail || wrong || (wrong = ` from ${flood}: ${line.slice(0, 20)}`));
const end = (kind, text) => record('flood', flood + wrong) + record(kind, text);
const wrDone = () => end('done', ''), wrFail = (text) => end('fail', text);
record('page', id);</script>"""
FLOOD = 300000
FAILED = ("Zajrzyj do dziennika: {data}/setup.log. Możesz też uruchomić kreator ponownie (zamknij i otwórz "
          "aplikację) albo użyć ./install.sh z paczki.")


class Wizard(ProgramTest):
    """A first run of the test's wizard, with a setup page that sends its calls to port 8478."""

    def first_run(self, user, wizard):
        return user.program("prefix", wizard, RECORDER), user.serve(port=8478)

    def reload_page(self, app, recorder):
        """Kills the program's content process until the page is loaded again: the engine may hold a spare one."""
        pages = lambda: [kind for _, kind, _ in recorder.calls].count("page")  # noqa: E731
        before, children = pages(), sh("ps", "-o", "pid=,comm=", "--ppid", app.pid).stdout
        for _ in range(3):
            if pages() == before:
                eventually(lambda: pages_of(app.pid, kill=True))
                eventually(lambda: pages() > before, 4)
        self.assertGreater(pages(), before, "the page was not loaded again; the program's children were:\n" + children)

    def test_every_line_reaches_the_log_byte_for_byte_and_the_page_in_order(self):
        u = self.user
        # Escapes for the engine to read, 1000 numbered lines (one not UTF-8, one with a NUL, two too long for the
        # page: 200 kB, and 30 MB of a progress bar's carriage returns), a flood far beyond what may wait for the
        # page, a last line without a line feed, a failure.
        escapes = ["quote \" backslash \\ solidus / </script>", "tab\there, bell\a and escape \x1b[0m",
                   "\u2028 and \u2029 zażółć \U0001F600", "'single' `back` $(dollar)", ""]
        exe, recorder = self.first_run(u, "echo err >&2\nprintf '%s\\n' " + " ".join(map(shlex.quote, escapes)) +
                                       '\npython3 "$(dirname "$0")/lines.py"\nexit 3\n')
        u.write("prefix/share/halvaren-tessary/app-root/installer/lines.py", """import sys
for i in range(1, 1000):
    sys.stdout.buffer.write(b'\\xff\\xfe bad\\n' if i == 500 else b'nul \\0\\n' if i == 600 else b'y' * 200000 + b'\\n'
                            if i == 700 else b'\\r' * (30 << 20) + b'\\n' if i == 800 else
                            (f'w {i} \\u0142\\r\\n' if i % 7 == 0 else f'w {i}\\n').encode())
for i in range(1, FLOOD + 1):
    sys.stdout.buffer.write(b'%09d %s\\n' % (i, b'x' * 90))
sys.stdout.buffer.write(b'last')""".replace("FLOOD", str(FLOOD)))
        u.write(".local/share/HalvarenTessary/setup.log", "a stale log")
        # An earlier install in the way: a read-only script, a link out of the tree.
        old = u.data / "app"
        u.write(old / "installer/bootstrap.sh", "old and longer", 0o444)
        (old / "installer/lines.py").symlink_to(u.write("outside", "not ours"))
        u.write(old / ".venv/bin/tessary", "made by the wizard")
        printed = [line.encode() for line in ["err", *escapes]] + [
            b"\xff\xfe bad" if i == 500 else b"nul \0" if i == 600 else b"y" * 200000 if i == 700 else
            b"\r" * (30 << 20) if i == 800 else (f"w {i} ł\r" if i % 7 == 0 else f"w {i}").encode()
            for i in range(1, 1000)]
        note = " … (wiersz skrócony, bajtów: {}; cały jest w dzienniku)"  # after the head of a line too long
        lines = [line[:65536].decode() + note.format(len(line)) if len(line) > 65536 else line.decode()
                 for line in printed if line != b"\xff\xfe bad"]  # the last fragment: log only
        printed += [b"%09d %s" % (i, b"x" * 90) for i in range(1, FLOOD + 1)]
        app, memory = u.start(exe), []
        self.until(lambda: recorder.calls, 30, app.log.read_text())

        def watch_memory():  # the program's resident memory once the page has loaded, until the wizard has ended
            while not recorder.page_calls("fail") and alive(app.pid):
                with contextlib.suppress(OSError):
                    pages = int(Path(f"/proc/{app.pid}/statm").read_text().split()[1])
                    memory.append(pages * os.sysconf("SC_PAGE_SIZE"))
                time.sleep(0.02)
        threading.Thread(target=watch_memory, daemon=True).start()
        # The content process dies while the lines stream in: the page comes back with every call
        # again, in order, then the rest.
        self.until(lambda: len(recorder.page_calls("log")) > 100, 30, app.log.read_text())
        self.reload_page(app, recorder)
        self.until(lambda: recorder.page_calls("fail"), 90, app.log.read_text())
        merged = ((u.home / "outside").read_text(), (old / "installer/lines.py").is_symlink(),
                  (old / "installer/bootstrap.sh").stat().st_mode & 0o7777, (old / ".venv/bin/tessary").read_text())
        self.assertEqual(merged, ("not ours", False, 0o755, "made by the wizard"), "merged over the earlier one")
        self.assertTrue((u.data / "setup.log").read_bytes() == b"".join(l + b"\n" for l in printed) + b"last",
                        "setup.log differs")
        got = recorder.page_calls("log")
        differ = next((i for i, (a, b) in enumerate(zip(got, lines)) if a != b), min(len(got), len(lines)))
        self.assertTrue(got == lines, f"lines lost or out of order: {len(got)} of {len(lines)}, first at {differ}")
        self.assertEqual(recorder.page_calls("flood") + recorder.page_calls("fail"),
                         [str(FLOOD), FAILED.format(data=u.data)])
        self.assertLess(max(memory) - memory[0], 64 << 20, "the program's memory grew with the output")
        time.sleep(2)
        self.assertFalse((u.data / "native-shell.log").exists(), "no backend")
        self.quit_promptly(app)

    def test_a_wizard_outlives_a_quit_and_a_second_start_waits_for_it(self):
        """The wizard prints after the program quit; a start meanwhile shows its lines, starts no second one, and
        goes on to its backend."""
        u = self.user
        u.write("site/index.html", "<script>onload = () => fetch('/shown')</script>")
        exe, recorder = self.first_run(u, """echo $$ >>~/wizards
echo first
sleep 3
echo after the quit
mkdir -p "$1/.venv/bin" "$XDG_DATA_HOME/HalvarenTessary"
printf '#!/bin/sh\nexec python3 -m http.server -b 127.0.0.1 8477 -d ~/site\n' >"$1/.venv/bin/tessary"
chmod +x "$1/.venv/bin/tessary"
echo "$1" >"$XDG_DATA_HOME/HalvarenTessary/approot"
echo done
""")
        first = u.start(exe)
        self.until(lambda: recorder.page_calls("log") == ["first"], 30, first.log.read_text())
        self.quit_promptly(first, within=0.5)
        second, shell_log = u.start(exe), u.data / "native-shell.log"
        self.until(lambda: shell_log.exists() and "GET /shown" in shell_log.read_text(), 30, second.log.read_text())
        self.assertEqual(recorder.page_calls("log") + recorder.page_calls("done"),
                         ["first", "after the quit", "done", ""], "the second start showed the wizard's lines")
        self.assertEqual((u.home / "wizards").read_text().count("\n"), 1, "a second wizard ran")
        self.assertEqual((u.data / "setup.log").read_text(), "first\nafter the quit\ndone\n")
        self.quit_promptly(second, within=4.0)

    def test_starts_in_two_sessions_share_one_wizard_and_an_upgrade_runs_its_own_after_the_old_one(self):
        """Two sessions of one home start at the same instant: one wizard, every line in both pages, both done and on
        the panel. A new version started while the old one's wizard runs on after its program quit follows it, then
        installs and sets up its own code, and shows the panel on it."""
        wizard = """v=$(cat "$1/version"); echo "start $v" >>~/wizards
for i in $(seq 1 40); do echo "line $i"; sleep 0.05; done
mkdir -p "$1/.venv/bin"
printf '#!/bin/sh\nexec python3 -m http.server -b 127.0.0.1 8477 -d "%s/site"\n' "$1" >"$1/.venv/bin/tessary"
chmod +x "$1/.venv/bin/tessary"
echo "$1" >"$XDG_DATA_HOME/HalvarenTessary/approot"
echo "end $v" >>~/wizards
"""
        lines = [f"line {i}" for i in range(1, 41)]
        for case in "two sessions at once", "an upgrade during the old wizard":
            with self.row(case) as u:
                recorder, exes = u.serve(port=8478), {}
                for version in "old", "new":
                    exes[version] = u.program(version, wizard, RECORDER)
                    share = u.home / version / "share/halvaren-tessary"
                    u.write(share / "app-root.stamp", version + "\n")
                    u.write(share / "app-root/version", version)
                    u.write(share / "app-root/site/index.html",
                            f"<script>onload = () => fetch('http://127.0.0.1:8478/shown?{version}')</script>")
                if case == "two sessions at once":  # a session bus each, as two logins of one user have
                    apps = [u.start("dbus-run-session", "--", exes["new"]) for _ in range(2)]
                    runs = "start new\nend new\n"
                else:
                    old = u.start(exes["old"])
                    self.until(lambda: "line 1" in recorder.page_calls("log"), 30, old.log.read_text())
                    self.quit_promptly(old)
                    apps, runs = [u.start(exes["new"])], "start old\nend old\nstart new\nend new\n"
                shown = lambda: [r for r in recorder.requests if r.startswith("GET /shown")]  # noqa: E731
                self.until(lambda: len(shown()) == len(apps), 60, "".join(a.log.read_text() for a in apps))
                ended = [[value for page_, kind, value in recorder.calls if page_ == page and kind in ("log", "done")]
                         for page in dict.fromkeys(page for page, kind, _ in recorder.calls if kind == "done")]
                self.assertEqual(ended, [lines + [""]] * len(apps), "every line and the end in each page")
                self.assertEqual(shown(), ["GET /shown?new engine"] * len(apps), "the panel, on the new code")
                self.assertEqual((u.home / "wizards").read_text(), runs, "one wizard at a time, each once")
                self.assertEqual((u.data / "setup.log").read_text(), "\n".join(lines) + "\n")
                for app in apps:
                    os.kill(int(sh("pgrep", "-P", app.pid, "-x", "halvaren-tessar").stdout or app.pid), signal.SIGTERM)
                    self.assertEqual(exit_status(app, 10), 0)

    MISBEHAVING = [  # what the wizard does, its script, the log, the page's lines and its ending
        ("killed by a signal", "echo before\nkill -9 $$\n", b"before\n", ["before"], FAILED),
        ("10 MB, no line feed", "head -c 10485760 /dev/zero | tr '\\0' x\nexit 1\n", b"x" * (10 << 20), [], FAILED),
        ("closes its output and runs on", "echo bye\nexec >&- 2>&-\nsleep 2\nexit 1\n", b"bye\n", ["bye"], FAILED),
        ("ends well without recording the code", "echo done\n", b"done\n", ["done"],
         "Kreator zakończył się bez zapisania pliku {data}/approot. Zajrzyj do dziennika: {data}/setup.log."),
        ("the data folder cannot be made", "echo never\n", b"", [],
         "Nie udało się zapisać kodu aplikacji: {data}/app (Not a directory), błędów: 2. Zwolnij miejsce na dysku "
         "albo popraw uprawnienia, potem zamknij i otwórz aplikację. Zajrzyj do dziennika: {data}/setup.log."),
        ("a data folder whose name is not UTF-8", "echo bad\nexit 1\n", b"bad\n", ["bad"], FAILED),
        ("a folder at setup.status", "echo ran\nexit 1\n", b"ran\n", ["ran"], FAILED),
        ("its keeper killed", "echo $$ >~/wizard\necho on\nsleep 600 &\nsleep 600\n", b"on\n", ["on"], FAILED),
        ("has its log cut and replaced", "echo before\nsleep 1.5\nlog=$XDG_DATA_HOME/HalvarenTessary/setup.log\n"
         ": >$log\necho cut\nsleep 0.5\necho new >~/new\nmv ~/new $log\necho moved\nsleep 0.5\nexit 1\n", b"new\n",
         ["before", "cut", "moved"], FAILED),
        ("quit from its terminal", "echo working\nsleep 2\ntouch ~/still-here\n", b"working\n", ["working"], None)]

    def test_misbehaving_wizards_end_in_the_page(self):
        """The log holds every byte, the page every line and the ending; no backend; a prompt quit."""
        for fault, script, log, lines, ending in self.MISBEHAVING:
            with self.row(fault) as u:
                exe, recorder = self.first_run(u, script)
                if "cannot be made" in fault:
                    u.write(".local/share/HalvarenTessary", "a file")
                if "UTF-8" in fault:
                    u.data = Path(os.fsdecode(bytes(u.home) + b"/dane\xff/HalvarenTessary"))
                if "setup.status" in fault:
                    (u.data / "setup.status/old").mkdir(parents=True)
                terminal = ["script", "-qefc", f"exec {shlex.quote(str(exe))}", "/dev/null"] * ("terminal" in fault)
                app = u.start(*terminal or [exe], XDG_DATA_HOME=u.data.parent)
                calls = recorder.page_calls
                if "keeper" in fault:  # the wizard and what it started go with it
                    self.until(lambda: calls("log") == lines, 30)
                    wizard = (u.home / "wizard").read_text().strip()
                    os.kill(int(Path(f"/proc/{wizard}/stat").read_text().rsplit(")", 1)[1].split()[1]), signal.SIGKILL)
                    self.until(lambda: not [p for p in sh("pgrep", "-g", wizard).stdout.split() if alive(p)], 3)
                self.until(lambda: calls("fail" if ending else "log") and calls("log") == lines, 30)
                if fault == "killed by a signal":  # a page loaded again gets the lines and the ending again
                    self.reload_page(app, recorder)
                    self.until(lambda: calls("fail") and calls("log") == lines, 10)
                self.assertEqual(calls("fail"), [ending.format(data=os.fsencode(u.data).decode(errors="replace"))]
                                 if ending else [])
                self.assertTrue(log == ((u.data / "setup.log").read_bytes() if u.data.is_dir() else b""), "the log")
                self.assertTrue(not ending or exit_status(u.start(exe), 15) == 0, "the window answers")
                if terminal:  # Ctrl-Z, a hang-up and Ctrl-C reach the program, which quits, but never the wizard
                    group = int(sh("pgrep", "-P", app.pid).stdout)
                    for sent in signal.SIGTSTP, signal.SIGCONT, signal.SIGHUP, signal.SIGINT:
                        with contextlib.suppress(ProcessLookupError):
                            os.killpg(group, sent)
                    self.assertEqual(exit_status(app, 10), 0)
                    self.until(lambda: (u.home / "still-here").exists(), 10, "the wizard was stopped")
                else:
                    self.quit_promptly(app)
                self.assertFalse((u.data / "native-shell.log").exists(), "no backend")


class Upgrade(ProgramTest):
    def test_a_new_version_installs_its_code_again_whole_and_keeps_the_users_files(self):
        """The sample backend of one build, then of a second version: a changed page, a file fewer and a 2 MB one
        more. The data folder is a file system of its own; when it is too small for the new version, nothing is
        recorded, and with room again the next start installs it whole."""
        if os.getuid() != 0:
            self.skipTest("only root can mount a file system (CI runs as root)")
        for disk in "roomy", "full":
            with self.row(disk) as u:
                u.data.mkdir(parents=True)
                holder = u.start("unshare", "--mount", "--propagation", "private", "sh", "-c",
                                 f"mount -t tmpfs -o size={8 if disk == 'roomy' else 1}m tmpfs \"$0\" && exec sleep 600",
                                 u.data)
                self.until(lambda: "sleep" in os.readlink(f"/proc/{holder.pid}/exe"))
                data = Path(f"/proc/{holder.pid}/root{u.data}")  # the data folder as the program sees it
                app, log, setup = data / "app", data / "native-shell.log", data / "setup.log"
                shipped = (exe := u.program("prefix", shipped=True)).parent.parent / "share/halvaren-tessary"

                def start(until, where=log):
                    [earlier.unlink(missing_ok=True) for earlier in (log, setup)]
                    proc = u.start("nsenter", "-t", holder.pid, "-m", "--", exe)
                    self.until(lambda: where.exists() and until in where.read_text(), 60, proc.log.read_text())
                    self.quit_promptly(proc, within=4.0)
                    return setup.read_text() if setup.exists() else None
                self.assertIsNotNone(start("GET /nagrania"), "a first run")
                u.write(app / "data/nagrania/moje.wav", "mine")
                page = shipped / "app-root/tessary/static/panel.html"
                page.write_text(page.read_text().replace("<body>", "<body><script>fetch('/nowy')</script>"))
                (shipped / "app-root/tessary/static/o-panelu.html").unlink()
                (shipped / "app-root/big.bin").write_bytes(big := os.urandom(2 << 20))
                for i in range(300):
                    u.write(shipped / f"app-root/many/{i}", "new")
                sh(sys.executable, HERE.parent.parent / "scripts/tree_stamp.py", shipped / "app-root",
                   shipped / "app-root.stamp")
                if disk == "full":  # filled but for a little: the log lists every entry that did not fit
                    room = os.statvfs(data)
                    (data / "filler").write_bytes(bytes(room.f_bavail * room.f_frsize - (96 << 10)))
                    listed = start("Nie można zapisać", where=setup)
                    missing = [i for i in range(300) if not (app / f"many/{i}").exists()]
                    self.assertTrue(missing and all(f"{u.data}/app/many/{i}: No space" in listed for i in missing))
                    self.assertIn(f"Nie można zapisać {u.data}/app/big.bin: No space left on device", listed)
                    (data / "filler").unlink()
                    self.assertFalse((data / "app.stamp").exists() or (app / "big.bin").exists())
                    self.assertNotIn("GET", log.read_text() if log.exists() else "", "no wizard, no backend")
                    sh("nsenter", "-t", holder.pid, "-m", "--", "mount", "-o", "remount,size=8m", u.data)
                self.assertIn("Środowisko wirtualne już istnieje", start("GET /nowy"), "the setup ran, the venv kept")
                self.assertEqual((app / "data/nagrania/moje.wav").read_text(), "mine", "the user's recording")
                self.assertEqual(sorted(p.name for p in (app / "tessary/static").iterdir()), ["panel.css", "panel.html"])
                self.assertTrue((app / "big.bin").read_bytes() == big, "the new version, every byte")
                self.assertIsNone(start("GET /nowy"), "the next start goes straight to the backend")


class Sandbox(ProgramTest):
    def test_where_the_engines_sandbox_cannot_be_set_up_or_answers_late_the_panel_shows_without_it(self):
        """An unprivileged user in a user namespace that allows no further one, where bubblewrap cannot start; and a
        bubblewrap that hangs on the program's own trial of it, which nothing waits for."""
        if os.getuid() != 0:
            self.skipTest("only root can map a user namespace's users onto its own (CI runs as root)")
        for fault, reason in ("no user namespaces", "(user.max_user_namespaces is 0)"), ("hanging", "no answer"):
            with self.row(fault) as u:
                nobody = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] * (fault != "hanging")
                exe = u.program()
                u.write("site/index.html", "<script>onload = () => fetch('/shown')</script>")
                shutil.copy(os.environ["XAUTHORITY"], u.write("xauth", ""))
                sh("chown", "-R", "nobody:nogroup", u.home.chmod(0o755) or u.home)
                panel = u.start(*nobody, "/usr/bin/python3", "-m", "http.server", "-b", "127.0.0.1", 8477,
                                cwd=u.home / "site")
                if fault == "hanging":  # the trial is bubblewrap running "true"; the engine's own runs go through
                    shutil.copy("/usr/bin/bwrap", u.home / "bwrap")
                    u.write("hangs", f'#!/bin/sh\nfor last; do :; done\n[ "$last" = true ] && exec sleep 60\n'
                            f'exec {u.home}/bwrap "$@"\n', 0o755)
                    app = u.start("unshare", "--mount", "--propagation", "private", "sh", "-c",
                                  f"mount --bind {u.home}/hangs /usr/bin/bwrap && exec {exe}")
                    self.assertTrue(window(TITLE, 5), app.log.read_text())
                    first = ["taskset", "-c", "0", "chrt", "-f", "1"]  # on one core the trial begins after the end
                    for _ in range(10):  # starts that end at once, with no display or handing over, end in time
                        for display, status in ("", 1), (os.environ["DISPLAY"], 0):
                            began, early = time.monotonic(), u.start("nsenter", "-t", app.pid, "-m", "--", *first, exe,
                                                                     DISPLAY=display)
                            self.assertEqual(exit_status(early, 5), status, early.log.read_text())
                            self.assertLess(time.monotonic() - began, 1.0)
                else:  # the maps are written from outside, then the namespace's root limits it and becomes nobody
                    app = u.start("unshare", "--user", "sh", "-c", "until [ -e ~/mapped ]; do sleep 0.01; done; exec "
                                  f"sh -c 'echo 0 >/proc/sys/user/max_user_namespaces; exec {shlex.join(nobody)} {exe}'",
                                  XAUTHORITY=u.home / "xauth")
                    self.until(lambda: os.readlink(f"/proc/{app.pid}/ns/user") != os.readlink("/proc/self/ns/user"))
                    for ids in "uid_map", "gid_map":
                        Path(f"/proc/{app.pid}/{ids}").write_text("0 0 65536")
                    (u.home / "mapped").touch()
                self.until(lambda: "GET /shown" in panel.log.read_text(), 20, app.log.read_text())
                said = app.log.read_text()
                self.assertTrue(said.count("sandbox cannot be set up here") == 1 and reason in said, said)
                self.quit_promptly(app)


# The panel tries each kind of navigation towards each target, one page load per try: "/?step=N"
# makes try N and moves on; "/done" ends. A target's page sends the panel to its next step.
NAVIGATING = """<!doctype html><title>Panel</title><body><script>
const kinds = ['link', 'location', 'form', 'frame', 'open', 'blank', 'meta', 'redirect', 'percent'];
const step = Number(new URLSearchParams(location.search).get('step') || 0), kind = kinds[step % 9];
const to = ['http://127.0.0.2:8478/', 'http://localhost:8478/'][step / 9 | 0] + `land?kind=${kind}&next=${step + 1}`;
const add = (tag) => document.body.appendChild(document.createElement(tag)), a = add('a');
if (window.top !== window) {
} else if (step >= 18) {
  fetch('/done');
} else {
  if (kind === 'link') { a.href = to; a.click(); }
  if (kind === 'location') location.href = to;
  if (kind === 'form') Object.assign(add('form'), {method: 'post', action: to}).submit();
  if (kind === 'frame') add('iframe').src = to;
  if (kind === 'open') window.open(to);
  if (kind === 'blank') { a.href = to; a.target = '_blank'; a.click(); }
  if (kind === 'meta') location.href = '/meta?to=' + encodeURIComponent(to) + '&next=' + (step + 1);
  if (kind === 'redirect') location.href = '/redirect?to=' + encodeURIComponent(to);
  if (kind === 'percent') location.href = to + '&q=50%#x%';
  setTimeout(() => { location.href = '/?step=' + (step + 1); }, 700);
}</script>"""
NEXT = "'http://127.0.0.1:8477/?step=' + new URLSearchParams(location.search).get('next')"
ROUTES = {"/redirect": lambda q: (302, b"", [("Location", q["to"])]),
          "/meta": lambda q: (200, f'<meta http-equiv=refresh content="0;url={q["to"]}"><script>setTimeout(() => '
                                   f'location.href = {NEXT}, 700)</script>'.encode()),  # when the refresh was refused
          "/land": lambda q: (200, f"<script>if (window.top === window) location.href = {NEXT}</script>".encode())}


class Navigation(ProgramTest):
    def test_no_navigation_leaves_the_loopback_host_and_no_window_opens(self):
        u = self.user
        panel, remote, local = (u.serve(page=NAVIGATING, routes=ROUTES), u.serve(host="127.0.0.2", port=8478),
                                u.serve(port=8478, routes=ROUTES))
        app = u.start(PROGRAM)
        self.assertTrue(window(TITLE), app.log.read_text())
        shown = windows(".*")
        self.until(lambda: "GET /done engine" in panel.requests, 60, panel.requests[-5:])
        self.assertEqual(windows(".*"), shown, "no new window")
        self.assertEqual(remote.requests, [])
        self.assertEqual([r.split()[0] + "=" + r.split("kind=")[1].split("&")[0] for r in local.requests],
                         ["GET=link", "GET=location", "POST=form", "GET=frame", "GET=meta", "GET=redirect",
                          "GET=percent"])
        self.quit_promptly(app)


class Listeners(ProgramTest):
    def test_listeners_that_are_not_the_panel_leave_the_program_working(self):
        """Each is no panel (here: the alert of a program that ships no code); the window is paper-coloured
        meanwhile, answers a second start, and quits at once during the probe and during the alert."""
        for fault in ("answers too late", "another user's server", "quit during the probe"):
            with self.row(fault) as u:
                if fault == "another user's server":
                    if os.getuid() != 0:
                        self.skipTest("only root can start a server as another user (CI runs as root)")
                    theirs = u.start("setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                     "/usr/bin/python3", "-u", "-m", "http.server", "-b", "127.0.0.1", 8477, cwd="/")
                    self.until(lambda: "Serving" in theirs.log.read_text())
                else:
                    late = u.serve(delay=1.5 if fault == "answers too late" else 60)
                app = u.start(u.program())
                self.assertTrue(shown := window(TITLE), app.log.read_text())
                if fault == "answers too late":  # the window's width, and its colour in the middle and two corners
                    pixels = ("import", "-window", shown, "-depth", 8, "-format",
                              "%w %[hex:p{640,420}] %[hex:p{64,756}] %[hex:p{1216,798}]", "info:")
                    self.until(lambda: sh(*pixels).stdout == "1280 FAFAF7 FAFAF7 FAFAF7", 1,
                               "paper colour until the panel shows: " + sh(*pixels).stdout)
                if fault != "quit during the probe":
                    self.assertTrue(window("Brak dołączonego kodu"), app.log.read_text())
                    self.assertEqual(exit_status(u.start(u.program()), 15), 0, "the window answers")
                self.quit_promptly(app)
                if fault == "answers too late":
                    self.assertEqual(late.requests, ["GET / probe"])
                elif fault == "another user's server":
                    self.assertNotIn("GET", theirs.log.read_text(), "another user's server is never asked")
