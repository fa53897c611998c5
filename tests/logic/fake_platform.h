// A deterministic platform: a manual clock and main queue, and one transcript of what the program
// asks of the desktop and the system, in order, the test's folder written "~" (files are real).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>

#include "application/app_delegate.h"
#include "support/temp_dir.h"

namespace tessary::testing {

using Strings = std::vector<std::string>;

struct Transcript {
  std::string dir;
  Strings lines;
  void operator()(std::string line) {
    for (size_t at; (at = line.find(dir)) != std::string::npos;) line.replace(at, dir.size(), "~");
    lines.push_back(std::move(line));
  }
  Strings take() { return std::exchange(lines, {}); }
};

struct FakeWindow final : platform::Window, platform::WebView {
  explicit FakeWindow(Transcript& t) : log(t) {}
  void present() override { log("present"); }
  void hide() override { log("hide"); }
  void minimize() override { log("minimize"); }
  void setCloseHandler(std::function<bool()>) override {}
  platform::WebView& webView() override { return *this; }
  // Pages load at once; scripts run at once unless held, to be finished by the test.
  void loadUrl(const std::string& url) override { log("load " + url), post(loaded); }
  void loadFile(const std::string& path, const std::string& root) override {
    log("load " + path + " in " + root), post(loaded);
  }
  void runScript(const std::string& script, std::function<void()> done) override {
    log(script);
    holdScripts ? scripts.push_back(std::move(done)) : post(std::move(done));
  }
  void setLoadHandler(std::function<void()> h) override { loaded = std::move(h); }
  void editCommand(platform::EditCommand c) override { log("edit " + std::to_string(int(c))); }
  void setNavigationPolicy(platform::NavigationPolicy p) override { allow = std::move(p); }
  void setFileRequestHandler(platform::FileRequestHandler) override {}
  void setPermissionPolicy(platform::PermissionPolicy) override {}
  void setCrashHandler(std::function<void()> h) override { crashed = std::move(h); }
  void setDownloadHandler(platform::DownloadHandler h) override { saveAs = std::move(h); }
  void setDropHandler(platform::DropHandler h) override { dropped = std::move(h); }
  void handDroppedFiles(const Strings& paths) override {
    std::string line = "hand";
    for (const auto& path : paths) line += " " + path;
    log(line);
  }
  void reload() override { log("reload"), post(loaded); }
  void askToLeave(std::function<void(platform::LeaveAnswer)> a) override {
    log("ask to leave"), a(answer);
  }

  Transcript& log;
  std::function<void(std::function<void()>)> post;
  std::function<void()> crashed, loaded;
  platform::NavigationPolicy allow;
  platform::DownloadHandler saveAs;
  platform::DropHandler dropped;
  bool holdScripts = false;
  platform::LeaveAnswer answer = platform::LeaveAnswer::Leave;
  std::vector<std::function<void()>> scripts;
};

// A child process that stops at the polite stop.
struct FakeChild final : platform::ChildProcess {
  explicit FakeChild(Transcript& t) : log(t) {}
  bool isRunning() override { return running; }
  void terminate() override { log("terminate"), running = false; }
  void kill() override { log("kill"), running = false; }
  void readOutput() override {}
  Transcript& log;
  bool running = true;
};

struct FakeDownload final : platform::Download {
  FakeDownload(Transcript& t, std::string n) : log(t), name(std::move(n)) {}
  void saveTo(const std::string& path) override { log(name + " to " + path); }
  void cancel() override { log(name + " cancelled"), ended ? ended(false) : void(); }
  void setEndHandler(std::function<void(bool)> e) override { ended = std::move(e); }
  Transcript& log;
  std::string name;
  std::function<void(bool)> ended;
};

struct Fake final : platform::Desktop, platform::System {
  void installMenuBar(std::vector<platform::Menu> m) override { menus = std::move(m); }
  std::optional<platform::Size> workArea() override { return area; }
  std::unique_ptr<platform::Window> createWindow(const platform::WindowOptions& s) override {
    char line[160];
    std::snprintf(line, sizeof line, "window %s %dx%d min %dx%d #%02x%02x%02x", s.title.c_str(),
                  s.width, s.height, s.minWidth, s.minHeight, int(s.background.red * 255 + .5),
                  int(s.background.green * 255 + .5), int(s.background.blue * 255 + .5));
    log(line);
    auto w = std::make_unique<FakeWindow>(log);
    w->post = [this](std::function<void()> work) { post(std::move(work)); };
    window = w.get();
    return w;
  }
  std::unique_ptr<platform::StatusItem> createStatusItem(
      const platform::StatusItemOptions& options) override {
    status = options;
    log("status " + options.iconName + " " + options.title);
    return std::make_unique<platform::StatusItem>();
  }
  void alert(const std::string& title, const std::string& text, const std::string&,
             std::function<void()>) override {
    log("alert " + title + "|" + text);
  }
  void showAbout() override { log("about"); }
  void chooseFiles(const platform::FileChooserOptions& s, platform::FileListCompletion c) override {
    log("choose " + s.title + " " + s.suggestedName);
    choosers.push_back(std::move(c));
  }
  void openInBrowser(const std::string& url) override { log("browser " + url); }
  void quit() override { log("quit"); }

  struct Scheduled {
    double when, interval;  // interval 0: once
    std::function<void()> work;
    std::shared_ptr<bool> valid = std::make_shared<bool>(true);
  };
  struct Timer final : platform::Timer {
    explicit Timer(std::shared_ptr<bool> v) : valid(std::move(v)) {}
    ~Timer() override { invalidate(); }
    void invalidate() override { *valid = false; }
    std::shared_ptr<bool> valid;
  };
  double now() override { return clock; }
  void sleep(double seconds) override { clock += seconds; }
  void post(std::function<void()> work) override { queue.push_back(std::move(work)); }
  void postAfter(double seconds, std::function<void()> work) override {
    scheduled.push_back({clock + seconds, 0, std::move(work)});
  }
  std::unique_ptr<platform::Timer> startRepeating(double interval,
                                                  std::function<void()> tick) override {
    scheduled.push_back({clock + interval, interval, std::move(tick)});
    return std::make_unique<Timer>(scheduled.back().valid);
  }
  void probe(const std::string& url, double timeout,
             std::function<void(std::optional<int>)> completion) override {
    char line[80];
    std::snprintf(line, sizeof line, "probe %s %g", url.c_str(), timeout);
    log(line);
    probes.push_back(std::move(completion));
  }
  void runInBackground(std::function<void()> work, std::function<void()> done) override {
    work();
    post(std::move(done));
  }
  platform::SpawnResult spawn(platform::SpawnOptions options) override {
    std::string line = "spawn";
    for (const auto& arg : options.argv) line += " " + arg;
    line += " | in " + options.workingDirectory + (options.ownSession ? " | session" : "") +
            (options.stoppedWithProgram ? " | guarded" : "");
    if (options.output == platform::Output::Pipe) line += " | pipe";
    if (!options.statusFile.empty()) line += " | kept, into " + options.outputFile;
    if (options.lock && options.lock->taken()) line += " | locked";
    log(line);
    if (!options.statusFile.empty()) {  // as the keeper records the end
      options.onExit = [path = options.statusFile, exited = options.onExit](int status) {
        writeFile(path, std::to_string(status) + "\n");
        exited(status);
      };
    }
    spawns.push_back(std::move(options));
    if (spawnError) return {nullptr, *std::exchange(spawnError, std::nullopt)};
    return {std::make_unique<FakeChild>(log), ""};
  }
  std::string homeDirectory() override { return log.dir + "/home"; }
  std::vector<unsigned> loopbackListenerOwners(int) override { return listeners; }
  unsigned currentUser() override { return 1000; }

  void runPending() {
    while (!queue.empty()) {
      auto work = std::move(queue.front());
      queue.erase(queue.begin());
      work();
    }
  }
  // Moves the clock on, running timers and delayed work in time order.
  void advance(double seconds) {
    const double end = clock + seconds;
    for (runPending();;) {
      auto due = std::min_element(scheduled.begin(), scheduled.end(), [](auto& a, auto& b) {
        return *a.valid && (!*b.valid || a.when < b.when);
      });
      if (due == scheduled.end() || !*due->valid || due->when > end) break;
      clock = std::max(clock, due->when);
      auto work = due->work;
      due->interval > 0 ? void(due->when += due->interval) : void(*due->valid = false);
      work();
      runPending();
    }
    clock = end;
  }
  // Answers the oldest unanswered probe through the main queue.
  void answer(std::optional<int> status) {
    post([c = probes.at(answered++), status] { c(status); });
    runPending();
  }

  Transcript log;
  double clock = 1000.0;
  std::vector<platform::Menu> menus;
  std::optional<platform::Size> area;
  platform::StatusItemOptions status;
  FakeWindow* window = nullptr;
  std::vector<std::function<void(std::optional<int>)>> probes;
  size_t answered = 0;
  std::vector<platform::SpawnOptions> spawns;
  std::vector<platform::FileListCompletion> choosers;
  std::vector<unsigned> listeners;
  std::optional<std::string> spawnError;
  std::vector<std::function<void()>> queue;
  std::vector<Scheduled> scheduled;
};

// A delegate on the fake platform, with data in "~/data" and resources in "~/res".
struct World {
  explicit World(bool withResources = true)
      : locations(computeLocations(dir / "data",
                                   withResources ? std::optional(dir / "res") : std::nullopt)),
        delegate(fake, fake, locations) {
    fake.log.dir = dir.path();
  }
  // Launches and answers the launch probe.
  void launch(std::optional<int> status) {
    delegate.applicationDidFinishLaunching();
    fake.answer(status);
  }
  // A code root with its command, named by the approot file.
  void installCode() {
    writeFile(dir / "code/.venv/bin/tessary", "");
    writeFile(locations.approotFile, dir / "code\n");
  }
  void shipBundle(bool withPage = true) {
    writeFile(*locations.bundledRoot + "/installer/bootstrap.sh", "echo hi\n");
    if (withPage) writeFile(*locations.bundledSetupHTML, "<html></html>");
  }
  FakeWindow& view() { return *fake.window; }
  Strings take() { return fake.log.take(); }

  TempDir dir;
  Fake fake;
  Locations locations;
  AppDelegate delegate;
};

}  // namespace tessary::testing
