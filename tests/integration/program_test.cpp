// The built program on the test display, one run per scenario: the roads of a launch, the
// window, keyboard, file chooser and status menu, the backend's supervision, the first run,
// and the navigation rule in the real web engine.
#include <sys/stat.h>

#include "harness.h"

namespace tessary {
namespace {

using namespace testing;

// The recorded requests, bodies included, of a server started with --record; of the setup
// page's calls, those of the page loaded last (a killed page's last batch may land after).
std::vector<std::string> recorded(const std::string& file, const std::string& prefix = "") {
  const std::string text = readFile(file), mark = "page\tnew ";
  const size_t last = text.rfind(mark), end = text.find('\n', last);
  const std::string page =
      last == std::string::npos ? "" : text.substr(last + mark.size(), end - last - mark.size());
  std::vector<std::string> out;
  std::string from;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("from\t", 0) == 0)
      from = line.substr(5);
    else if (from == page && line.rfind(prefix, 0) == 0)
      out.push_back(line.substr(prefix.size()));
  }
  return out;
}

size_t count(const std::string& file, const std::string& line) {
  auto all = recorded(file);
  return static_cast<size_t>(std::count(all.begin(), all.end(), line));
}

// A panel already running, with a text field and a file input that report to the server,
// and a status area on the bus.
class RunningPanel : public IntegrationTest {
 protected:
  void SetUp() override {
    IntegrationTest::SetUp();
    writeFile(home / "panel.html", R"(<!doctype html><meta charset=utf-8><title>Panel</title>
<style>body{margin:0} input,div{display:block;font-size:20px;width:600px;height:80px;margin:0}</style>
<input id=t><input id=f type=file><div id=d>drop zone</div><script>
const say = (what, value) => fetch('/' + what + '?' + encodeURIComponent(value));
t.oninput = () => say('value', t.value);
f.onchange = () => say('chosen', [...f.files].map(x => x.name + ':' + x.size).join());
d.ondragover = (e) => e.preventDefault();
d.ondrop = (e) => { e.preventDefault(); say('dropped', ''); };
const get = (query) => {
  const a = document.body.appendChild(document.createElement('a'));
  a.href = '/download?' + query;
  a.download = '';
  a.click();
};
onkeydown = (e) => {
  if (e.key === 'F2') say('files', f.files.length);
  if (e.key === 'F3') get('name=a.bin&size=300000');
  if (e.key === 'F4') get('name=slow.bin&size=3000000&slow=0.5');
  if (e.key === 'F5') get('name=dead.bin&size=3000000&die=1');
};
onload = () => { t.focus(); say('ready', ''); };</script>)");
    panel =
        server(home, {"--page", home / "panel.html", "--status", "404", "--record", requests()});
    start({"/usr/bin/python3", kData + "/status_area.py", home / "status"});
    sh("sleep 0.5");
    app = &start({program()});
    window = waitWindow(kTitle);
    ASSERT_NE(window, "") << app->output();
    ASSERT_TRUE(reported("ready", "")) << app->output();
  }
  void TearDown() override {
    procs.clear();
    panel.reset();
    IntegrationTest::TearDown();
  }

  std::string requests() { return home / "requests"; }
  bool reported(const std::string& what, const std::string& value) {
    const std::string line = "GET /" + what + "?" + value + " engine";
    return eventually(5, [&] { return count(requests(), line) > 0; });
  }
  void xdo(const std::string& args) { sh("xdotool " + args); }
  void keys(const std::string& keys) {
    xdo("windowfocus --sync " + window + " key --delay 40 " + keys);
  }
  bool startAgainShowsTheWindow() {
    Proc again(home, {program()});
    return again.wait(15) == 0 && waitWindow(kTitle, 5) == window;
  }

  std::unique_ptr<Proc> panel;
  Proc* app = nullptr;
  std::string window;
};

TEST_F(RunningPanel, KeyboardReachesThePageAndASecondStartOnlyShowsTheWindow) {
  EXPECT_EQ(fs::exists(home.data()), false) << "no installation looked at";
  xdo("windowfocus --sync " + window + " type --delay 20 hello");
  EXPECT_TRUE(reported("value", "hello"));
  keys("ctrl+a ctrl+c End ctrl+v");
  EXPECT_TRUE(reported("value", "hellohello"));
  keys("ctrl+a ctrl+x");
  EXPECT_TRUE(reported("value", ""));
  keys("ctrl+z");
  EXPECT_EQ(count(requests(), "GET /value?hellohello engine"), 2u) << "undo";
  keys("ctrl+shift+z");
  EXPECT_TRUE(eventually(5, [&] { return count(requests(), "GET /value? engine") == 2; }));

  const auto all = windows(kTitle, false);
  keys("ctrl+w");
  EXPECT_TRUE(noWindow(kTitle));
  for (const char* option : {" --version", " --help"})
    EXPECT_EQ(sh(program() + option).status, 0) << option;
  EXPECT_TRUE(windows(kTitle).empty()) << "asking for the version leaves the window alone";
  EXPECT_TRUE(startAgainShowsTheWindow());
  keys("ctrl+h");
  EXPECT_TRUE(noWindow(kTitle));
  EXPECT_TRUE(startAgainShowsTheWindow());
  EXPECT_EQ(windows(kTitle, false), all) << "never a second window";
  EXPECT_EQ(count(requests(), "GET / engine"), 1u) << "never reloaded";
  keys("ctrl+q");
  EXPECT_EQ(app->wait(10), 0) << app->output();
  EXPECT_TRUE(panel->running()) << "a server started by hand is left alone";
}

TEST_F(RunningPanel, StatusMenuAndFileChooserWork) {
  ASSERT_TRUE(eventually(10, [&] { return readFile(home / "status").find("ready") == 0; }));
  const auto status = recorded(home / "status");
  EXPECT_EQ(status[1], "Halvaren Tessary|Otwórz Tessary|Panel w przeglądarce|---|Zakończ|");
  EXPECT_TRUE(fs::exists(status[2])) << "the icon";
  auto click = [&](const std::string& label) {
    for (const auto& line : status)
      if (line.rfind(label + "gdbus ", 0) == 0) sh(line.substr(label.size()));
  };
  // A default browser of the user's own that notes what it was given.
  writeFile(home / "browser.sh",
            "#!/bin/sh\necho \"$1$GDK_GL$WEBKIT_DISABLE_DMABUF_RENDERER\" >> \"$HOME/opened\"\n");
  fs::permissions(home / "browser.sh", fs::perms::owner_all);
  writeFile(home / ".local/share/applications/browser.desktop",
            "[Desktop Entry]\nType=Application\nName=B\nExec=" + home / "browser.sh" +
                " %u\nMimeType=x-scheme-handler/http;\n");
  writeFile(home / ".config/mimeapps.list",
            "[Default Applications]\nx-scheme-handler/http=browser.desktop\n");
  closeRequest(window);
  EXPECT_TRUE(noWindow(kTitle));
  click("Otwórz Tessary");
  EXPECT_EQ(waitWindow(kTitle, 5), window);
  click("Panel w przeglądarce");
  EXPECT_TRUE(
      eventually(10, [&] { return readFile(home / "opened") == "http://127.0.0.1:8477/\n"; }));

  // The file input, clicked as a user does: one chooser per request; links resolve.
  writeFile(home / "rec/sesja 1.bin", std::string(1234, 'x'));
  fs::create_symlink(home / "rec/sesja 1.bin", home / "rec/link.bin");
  auto openChooser = [&] {
    xdo("mousemove --window " + window + " 300 150 click 1");
    return waitWindow("Wybierz nagranie sesji", 10);
  };
  std::string chooser = openChooser();
  ASSERT_NE(chooser, "");
  xdo("windowfocus --sync " + chooser + " key Escape");
  EXPECT_TRUE(noWindow("Wybierz nagranie sesji"));
  keys("F2");
  EXPECT_TRUE(reported("files", "0")) << "cancelling chooses nothing";
  chooser = openChooser();
  ASSERT_NE(chooser, "");
  xdo("windowfocus --sync " + chooser + " key ctrl+l type --delay 20 " +
      shellQuote(home / "rec/link.bin"));
  xdo("sleep 0.6 key Return");
  EXPECT_TRUE(reported("chosen", "sesja%201.bin%3A1234"));
  click("Zakończ");
  EXPECT_EQ(app->wait(10), 0);
}

TEST_F(RunningPanel, DropsNeverReplaceThePageAndDownloadsAskWhereToSave) {
  writeFile(home / "nagranie.txt", "recording");
  start({"/usr/bin/python3", kData + "/drag_source.py", home / "nagranie.txt"});
  ASSERT_NE(waitWindow("drag source"), "");
  for (const std::string y : {"220", "500"}) {  // onto the page's drop zone, then beside it
    std::string path = "mousemove 1520 60 mousedown 1 sleep 0.2 mousemove 1500 80 sleep 0.2";
    for (const char* x : {"250", "270", "290", "300"})  // as a hand moves: the page answers
      path += " mousemove --window " + window + " " + x + " " + y + " sleep 0.3";
    xdo(path + " mouseup 1 sleep 0.5");
  }
  EXPECT_TRUE(reported("dropped", "")) << "the page's drop zone gets its drop";
  keys("F2");
  EXPECT_TRUE(reported("files", "0")) << "the page is still the panel";
  EXPECT_EQ(count(requests(), "GET / engine"), 1u);

  // Downloads: each asks where to save, in turn; only a finished one leaves a file.
  fs::create_directories(home / "saved");
  auto saveAs = [&](const std::string& name) {
    const std::string dialog = waitWindow("Zapisz plik", 10);
    ASSERT_NE(dialog, "");
    xdo("windowfocus --sync " + dialog + " key ctrl+a type --delay 10 " +
        shellQuote(name.empty() ? "" : home / ("saved/" + name)));
    xdo("sleep 0.5 key " + std::string(name.empty() ? "Escape" : "Return"));
    EXPECT_TRUE(eventually(5, [&] {
      const auto open = windows("Zapisz plik");
      return std::find(open.begin(), open.end(), dialog) == open.end();
    }));
  };
  auto bytes = [](size_t size) {
    std::string out;
    for (size_t i = 0; i < size; ++i) out += static_cast<char>(i % 251);
    return out;
  };
  auto files = [&] {
    return sh("cd " + shellQuote(home.path()) + " && find . -name '*.bin*' | sort").out;
  };
  keys("F3");
  saveAs("a.bin");
  EXPECT_TRUE(eventually(10, [&] { return readFile(home / "saved/a.bin") == bytes(300000); }));
  keys("F3");
  saveAs("");
  keys("F5");
  saveAs("dead.bin");
  sh("sleep 2");
  EXPECT_EQ(files(), "./saved/a.bin\n") << "cancelled or failed: no file";
  keys("F4");
  saveAs("slow.bin");
  sh("sleep 1");
  keys("ctrl+q");
  EXPECT_EQ(app->wait(10), 0);
  EXPECT_EQ(files(), "./saved/a.bin\n") << "quitting leaves no part";
  EXPECT_EQ(count(requests(), "GET / engine"), 1u) << "the panel stayed as it was";
}

TEST_F(IntegrationTest, TheWindowIsPaperColouredUntilALateProbeGivesWay) {
  auto slow = server(home, {"--delay", "1.5", "--record", home / "requests"});
  Proc& app = start({bareProgram(home)});
  const std::string window = waitWindow(kTitle);
  ASSERT_NE(window, "") << app.output();
  auto geometry = sh("xdotool getwindowgeometry --shell " + window).out;
  int x = 0, y = 0, w = 0, h = 0;
  std::sscanf(geometry.c_str(), "WINDOW=%*d\nX=%d\nY=%d\nWIDTH=%d\nHEIGHT=%d", &x, &y, &w, &h);
  EXPECT_EQ(w, 1280);
  for (auto [fx, fy] : {std::pair{0.5, 0.5}, {0.05, 0.9}, {0.95, 0.95}}) {
    const int px = x + static_cast<int>(w * fx), py = y + static_cast<int>(h * fy);
    EXPECT_EQ(sh("import -silent -window root -crop 1x1+" + std::to_string(px) + "+" +
                 std::to_string(py) + " -depth 8 txt:- | tail -1 | awk '{print $3}'")
                  .out,
              "#FAFAF7\n");
  }
  // Not running, nothing installed, nothing shipped: the setup road's alert.
  EXPECT_NE(waitWindow("Brak dołączonego kodu"), "") << app.output();
  EXPECT_EQ(recorded(home / "requests"), std::vector<std::string>{"GET / probe"});
  app.signal(SIGTERM);
  EXPECT_EQ(app.wait(5), 0) << "a logout does not wait for OK";
}

// Installed code whose uv stand-in runs data/server.py as its child, as uv runs the server.
class Backend : public IntegrationTest {
 protected:
  void SetUp() override {
    IntegrationTest::SetUp();
    installCode(
        home, home / "my code",
        "#!/bin/bash\necho \"uv stand-in: $* in $PWD$GDK_GL$WEBKIT_DISABLE_DMABUF_RENDERER\"\n"
        "echo $$ > \"$HOME/uv.pid\"\n"
        "[ -n \"$STUBBORN\" ] && trap '' TERM\npython3 -u " +
            kData + "/server.py --pidfile \"$HOME/server.pid\" $STUBBORN &\nwait\n");
    writeFile(log(), "output of an earlier start\n");
  }
  std::string log() { return home.data() + "/native-shell.log"; }
  // Starts the program, from a terminal when asked, and waits for the panel; the pids of uv
  // and the server.
  std::pair<pid_t, pid_t> run(const std::string& stubborn = "", bool terminal = false) {
    std::vector<std::string> argv = {bareProgram(home)};
    if (terminal) argv = {"script", "-qefc", "exec " + shellQuote(argv[0]), "/dev/null"};
    app = &start(argv, {{"STUBBORN", stubborn}});
    EXPECT_TRUE(eventually(
        20, [&] { return readFile(log()).find("GET /beacon?Panel engine") != std::string::npos; }))
        << app->output() << readFile(log());
    return {std::atoi(readFile(home / "uv.pid").c_str()),
            std::atoi(readFile(home / "server.pid").c_str())};
  }
  double quit() {
    const double start = now();
    sh("pkill -TERM -x halvaren-tessar");  // also when a terminal runs it
    EXPECT_EQ(app->wait(10), 0) << app->output();
    return now() - start;
  }
  Proc* app = nullptr;
};

TEST_F(Backend, IsStartedFromATerminalLoggedShownAndStoppedWithItsWholeGroup) {
  writeFile(home / ".bash_profile", "stty sane\n");  // stops a shell in a background group
  auto [uv, srv] = run("", true);
  // Started with the user's environment, not the toolkit settings the program runs with.
  EXPECT_NE(readFile(log()).find("uv stand-in: run tessary serve in " + home / "my code" + "\n"),
            std::string::npos);
  EXPECT_EQ(readFile(log()).find("earlier start"), std::string::npos) << "emptied at the start";
  ASSERT_TRUE(alive(uv) && alive(srv));
  EXPECT_LT(quit(), 1.0);
  EXPECT_FALSE(alive(uv) || alive(srv)) << "the server, uv's child, is stopped too";
}

TEST_F(Backend, ThePanelComesBackWhenTheEngineOrTheServerDies) {
  auto [uv, srv] = run();
  auto seen = [&](const std::string& text) {
    const std::string log = readFile(this->log());
    size_t n = 0;
    for (size_t at = 0; (at = log.find(text, at)) != std::string::npos; ++at) ++n;
    return n;
  };
  sh("pkill -KILL -P " + std::to_string(app->pid()) + " WebKitWebProc");
  EXPECT_TRUE(eventually(10, [&] { return seen("GET /beacon?Panel engine") == 2; }));
  ::kill(srv, SIGKILL);  // uv ends with its server: the backend is gone
  EXPECT_TRUE(eventually(20, [&] { return seen("GET /beacon?Panel engine") == 3; }));
  EXPECT_EQ(seen("uv stand-in: run tessary serve"), 2u) << "both runs in the log";
  EXPECT_FALSE(alive(uv));
  EXPECT_LT(quit(), 1.0);
}

TEST_F(Backend, IgnoringThePoliteStopIsKilledAfterThreeSeconds) {
  auto [uv, srv] = run("--ignore-term");
  const double took = quit();
  EXPECT_GT(took, 2.9);
  EXPECT_LT(took, 4.0);
  EXPECT_TRUE(eventually(1, [&] { return !alive(uv) && !alive(srv); }));
}

TEST_F(Backend, OutlivesNoProgramKilledOutright) {
  auto [uv, srv] = run();
  app->signal(SIGKILL);
  EXPECT_TRUE(eventually(4, [&] { return !alive(uv) && !alive(srv); }));
}

// The program in a prefix of its own whose shipped code has the wizard script, and whose
// setup page sends every page call to a recorder on port 8478.
std::string withWizard(const Home& home, const std::string& script) {
  const std::string share = home / "prefix/share/halvaren-tessary";
  writeFile(share + "/app-root/installer/bootstrap.sh", script);
  fs::copy(fs::path(program()).parent_path() / "../share/halvaren-tessary/bin", share + "/bin");
  fs::copy_file(kData + "/recorder-setup.html", share + "/setup.html");
  fs::create_directories(home / "prefix/bin");
  fs::copy_file(program(), home / "prefix/bin/halvaren-tessary");
  return home / "prefix/bin/halvaren-tessary";
}

TEST_F(IntegrationTest, EveryWizardLineReachesTheLogByteForByteAndThePageInOrder) {
  // Lines that test WebKit's reading of the escapes, 100000 numbered ones (one of them not
  // UTF-8), a last one without a line feed, and a failure.
  const std::vector<std::string> escapes = {
      "quote \" backslash \\ solidus / </script>", "tab\there, bell\a and escape \x1b[0m",
      "\xE2\x80\xA8 and \xE2\x80\xA9 zażółć \xF0\x9F\x98\x80", "'single' `back` $(dollar)", ""};
  std::string script = "echo err >&2\nprintf '%s\\n'";
  for (const auto& line : escapes) script += " " + shellQuote(line);
  const std::string exe =
      withWizard(home, script + "\npython3 \"$(dirname \"$0\")/lines.py\"\nexit 3\n");
  writeFile(home / "prefix/share/halvaren-tessary/app-root/installer/lines.py",
            "import sys\nfor i in range(1, 100000):\n"
            "    sys.stdout.buffer.write(b'\\xff\\xfe bad\\n' if i == 500 else "
            "b'nul \\0\\n' if i == 600 else "
            "(f'w {i} \\u0142\\r\\n' if i % 7 == 0 else f'w {i}\\n').encode())\n"
            "sys.stdout.buffer.write(b'last')\n");
  auto recorder = server(home, {"--port", "8478", "--record", home / "page"});

  std::vector<std::string> lines = {"err"};
  lines.insert(lines.end(), escapes.begin(), escapes.end());
  std::string log;
  for (const auto& line : lines) log += line + "\n";
  for (int i = 1; i < 100000; ++i) {
    if (i == 500) {
      log += "\xff\xfe bad\n";
      continue;
    }
    lines.push_back(i == 600 ? std::string("nul \0", 5)
                             : "w " + std::to_string(i) + (i % 7 == 0 ? " \xc5\x82\r" : ""));
    log += lines.back() + "\n";
  }
  log += "last";
  Proc& app = start({exe});
  // The engine's content process dies while the lines stream in: the page comes back and
  // gets every call again, in order, and then those still to come.
  ASSERT_TRUE(eventually(30, [&] { return recorded(home / "page", "log\t").size() > 100; }));
  // The engine may hold a spare content process beside the page's: kill until the page is
  // loaded again.
  const std::string pid = std::to_string(app.pid()),
                    before = sh("ps -o pid=,comm= --ppid " + pid).out;
  auto reloaded = [&] {
    const std::string calls = readFile(home / "page");
    return calls.find("page\tnew") != calls.rfind("page\tnew");
  };
  for (int kill = 0; kill < 3 && !reloaded(); ++kill) {
    eventually(10, [&] { return sh("pkill -KILL -P " + pid + " WebKitWebProc").status == 0; });
    eventually(4, reloaded);
  }
  EXPECT_TRUE(reloaded()) << "the page was loaded again; the program's children were:\n" << before;
  ASSERT_TRUE(eventually(90, [&] { return !recorded(home / "page", "fail\t").empty(); }))
      << app.output();
  EXPECT_TRUE(readFile(home.data() + "/setup.log") == log) << "setup.log differs";
  const auto got = recorded(home / "page", "log\t");
  const auto differ = std::mismatch(got.begin(), got.end(), lines.begin(), lines.end());
  EXPECT_TRUE(got == lines) << "lines lost or out of order: " << got.size() << " of "
                            << lines.size() << ", first difference at "
                            << differ.first - got.begin();
  EXPECT_EQ(recorded(home / "page", "fail\t"),
            std::vector<std::string>{"Zajrzyj do dziennika: " + home.data() +
                                     "/setup.log. Możesz też uruchomić kreator ponownie (zamknij i "
                                     "otwórz aplikację) albo użyć ./install.sh z paczki."});
  sh("sleep 2");
  EXPECT_FALSE(fs::exists(home.data() + "/native-shell.log")) << "no backend";
  app.signal(SIGTERM);
  EXPECT_EQ(app.wait(10), 0);
}

TEST_F(IntegrationTest, NoNavigationLeavesTheLoopbackHostAndNoWindowOpens) {
  // The panel tries each kind of navigation towards each target, one page load per try:
  // "/?step=N" makes try N and moves on; "/done" ends.
  writeFile(home / "panel.html",
            R"(<!doctype html><meta charset=utf-8><title>Panel</title><body><script>
const kinds = ['link', 'location', 'form', 'frame', 'open', 'blank', 'meta', 'redirect', 'percent'];
const targets = ['http://127.0.0.2:8478/', 'http://localhost:8478/'];
const step = Number(new URLSearchParams(location.search).get('step') || 0);
const kind = kinds[step % 9], to = targets[Math.floor(step / 9)] + 'land?kind=' + kind + '&next=' + (step + 1);
const a = document.body.appendChild(document.createElement('a'));
if (window.top !== window) {
} else if (step >= 18) {
  fetch('/done');
} else {
  if (kind === 'link') { a.href = to; a.click(); }
  if (kind === 'location') location.href = to;
  if (kind === 'form') {
    const f = document.body.appendChild(document.createElement('form'));
    f.method = 'post'; f.action = to; f.submit();
  }
  if (kind === 'frame') document.body.appendChild(document.createElement('iframe')).src = to;
  if (kind === 'open') window.open(to);
  if (kind === 'blank') { a.href = to; a.target = '_blank'; a.click(); }
  if (kind === 'meta') location.href = '/meta?to=' + encodeURIComponent(to) + '&next=' + (step + 1);
  if (kind === 'redirect') location.href = '/redirect?to=' + encodeURIComponent(to);
  if (kind === 'percent') location.href = to + '&q=50%#x%';
  setTimeout(() => { location.href = '/?step=' + (step + 1); }, 700);
}</script>)");
  auto panel = server(home, {"--page", home / "panel.html", "--record", home / "panel"});
  auto remote =
      server(home, {"--host", "127.0.0.2", "--port", "8478", "--record", home / "remote"});
  auto local = server(home, {"--port", "8478", "--record", home / "local"});
  Proc& app = start({program()});
  ASSERT_NE(waitWindow(kTitle), "") << app.output();
  const auto shown = windows(".*");
  EXPECT_TRUE(eventually(60, [&] { return count(home / "panel", "GET /done engine"); }));
  EXPECT_EQ(windows(".*"), shown) << "no new window";
  EXPECT_EQ(recorded(home / "remote"), std::vector<std::string>{});
  std::vector<std::string> kinds;
  for (const auto& r : recorded(home / "local"))
    kinds.push_back(r.substr(0, r.find(' ')) +
                    r.substr(r.find("kind=") + 4, r.find('&') - r.find("kind=") - 4));
  EXPECT_EQ(kinds, (std::vector<std::string>{"GET=link", "GET=location", "POST=form", "GET=frame",
                                             "GET=meta", "GET=redirect", "GET=percent"}));
  app.signal(SIGTERM);
  EXPECT_EQ(app.wait(10), 0);
}

// One run of a fault table: a fresh user, and no process left behind afterwards.
struct FaultRun : IntegrationTest {
  FaultRun() { SetUp(); }
  ~FaultRun() override { TearDown(); }
  void TestBody() override {}
  using IntegrationTest::home, IntegrationTest::start;
};

// Odd listeners on the port, one run each: the program goes on as if nothing answered (here:
// the alert of a program that ships no code), the window still answers a second start, and
// quitting is prompt. Odd approot files are the unit tier's.
TEST(Faults, OddListenersLeaveTheProgramWorking) {
  const std::string garbage =
      "import socket\ns = socket.create_server(('127.0.0.1', 8477))\nwhile True:\n"
      "    s.accept()[0].sendall(b'\\x00\\xff not http\\r\\n\\r\\n')";
  for (const std::string fault :
       {"what is not HTTP", "another user's server", "quit in the probe"}) {
    SCOPED_TRACE(fault);
    // Only root can start a server as another user (CI runs as root).
    if (fault == "another user's server" && ::getuid() != 0) continue;
    FaultRun run;
    const std::string theirs = run.home / "theirs";
    Proc* listener = nullptr;
    std::unique_ptr<Proc> slow;
    if (fault == "what is not HTTP") {
      listener = &run.start({"python3", "-c", garbage});
    } else if (fault == "another user's server") {
      fs::permissions(run.home.path(), fs::perms::others_exec, fs::perm_options::add);
      fs::create_directories(theirs);
      fs::permissions(theirs, fs::perms::all);
      listener = &run.start({"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                             "/usr/bin/python3", kData + "/server.py", "--record", theirs + "/r"});
      EXPECT_TRUE(
          eventually(10, [&] { return listener->output().find("serving") != std::string::npos; }));
    } else {
      slow = server(run.home, {"--delay", "60"});
    }
    sh("sleep 0.5");
    Proc& app = run.start({bareProgram(run.home)});
    if (!slow) {
      EXPECT_NE(waitWindow("Brak dołączonego kodu"), "") << app.output();
      EXPECT_EQ(Proc(run.home, {bareProgram(run.home)}).wait(15), 0) << "the window answers";
    } else {
      EXPECT_NE(waitWindow(kTitle), "");
    }
    const double start = now();
    app.signal(SIGTERM);
    EXPECT_EQ(app.wait(5), 0) << app.output();
    EXPECT_LT(now() - start, 2.0);
    EXPECT_EQ(readFile(theirs + "/r"), "") << "another user's server is never asked";
  }
}

// Wizards that misbehave, one run each: the log holds every byte, the page every valid line
// and the ending, the program starts no backend and still quits at once.
TEST(Faults, MisbehavingWizardsEndInThePage) {
  struct Row {
    std::string fault, script, log;
    std::vector<std::string> lines;
  } rows[] = {{"killed by a signal", "echo before\nkill -9 $$\n", "before\n", {"before"}},
              {"10 MB without a line feed",
               "head -c 10485760 /dev/zero | tr '\\0' x\nexit 1\n",
               std::string(10 << 20, 'x'),
               {}},
              {"closes its output and runs on",
               "echo bye\nexec >&- 2>&-\nsleep 2\nexit 1\n",
               "bye\n",
               {"bye"}},
              {"the data folder cannot be made", "echo never\n", "", {}},
              {"quitting during the wizard", "echo working\nsleep 3\n", "working\n", {"working"}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    FaultRun run;
    const std::string exe = withWizard(run.home, row.script), page = run.home / "page";
    if (row.fault.find("data folder") != std::string::npos) writeFile(run.home.data(), "a file");
    auto recorder = server(run.home, {"--port", "8478", "--record", page});
    Proc& app = run.start({exe});
    const bool quitting = row.fault.find("quitting") != std::string::npos;
    EXPECT_TRUE(eventually(30, [&] {
      return quitting ? recorded(page, "log\t") == row.lines : !recorded(page, "fail\t").empty();
    }));
    EXPECT_TRUE(readFile(run.home.data() + "/setup.log") == row.log) << "the log differs";
    EXPECT_EQ(recorded(page, "log\t"), row.lines);
    EXPECT_TRUE(quitting || Proc(run.home, {exe}).wait(15) == 0) << "the window answers";
    const double start = now();
    app.signal(SIGTERM);
    EXPECT_EQ(app.wait(5), 0) << app.output();
    EXPECT_LT(now() - start, 2.0);
    EXPECT_FALSE(fs::exists(run.home.data() + "/native-shell.log")) << "no backend";
  }
}

TEST_F(IntegrationTest, WithoutADisplayItSaysHowToRunIt) {
  Proc& app = start({program()}, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});
  EXPECT_EQ(app.wait(10), 1);
  EXPECT_EQ(app.output().rfind("halvaren-tessary: no graphical display", 0), 0u) << app.output();
  EXPECT_NE(app.output().find("xvfb-run"), std::string::npos);
  EXPECT_EQ(sh("DISPLAY= " + program() + " --version").out,
            "halvaren-tessary " TESSARY_VERSION "\n");
  EXPECT_NE(sh("DISPLAY= " + program() + " --help").out.find("pokazuje"), std::string::npos);
}

}  // namespace
}  // namespace tessary
