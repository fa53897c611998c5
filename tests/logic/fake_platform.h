// A deterministic platform for the logic tests: a manual clock and main queue, and recorders
// for what the program asks of the desktop. Files stay real, in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include "application/app_delegate.h"
#include "support/temp_dir.h"

namespace tessary::testing {

using Strings = std::vector<std::string>;

struct FakeWindow final : platform::Window, platform::WebView {
  void present() override { visible = true, ++presents; }
  void hide() override { visible = false; }
  void minimize() override { ++minimizes; }
  bool isVisible() const override { return visible; }
  void setCloseHandler(std::function<bool()> h) override { shouldClose = std::move(h); }
  platform::WebView& webView() override { return *this; }
  void loadUrl(const std::string& url) override { loads.push_back(url); }
  void loadFile(const std::string& path, const std::string& root) override {
    loads.push_back(path + " in " + root);
  }
  void runScript(const std::string& statement) override { scripts.push_back(statement); }
  void editCommand(platform::EditCommand command) override { edits.push_back(command); }
  void setNavigationPolicy(platform::NavigationPolicy p) override { policy = std::move(p); }
  void setFileRequestHandler(platform::FileRequestHandler h) override { files = std::move(h); }
  void setCrashHandler(std::function<void()> h) override { crashed = std::move(h); }
  void setDownloadHandler(platform::DownloadHandler h) override { download = std::move(h); }
  void reload() override { ++reloads; }

  platform::WindowSpec spec;
  bool visible = true;
  int presents = 0, minimizes = 0, reloads = 0;
  std::function<bool()> shouldClose;
  std::function<void()> crashed;
  Strings loads, scripts;
  std::vector<platform::EditCommand> edits;
  platform::NavigationPolicy policy;
  platform::FileRequestHandler files;
  platform::DownloadHandler download;
};

struct FakeDesktop final : platform::Desktop {
  void installMenuBar(std::vector<platform::Menu> m) override { menus = std::move(m); }
  std::unique_ptr<platform::Window> createWindow(const platform::WindowSpec& spec) override {
    auto w = std::make_unique<FakeWindow>();
    w->spec = spec;
    window = w.get();
    return w;
  }
  std::unique_ptr<platform::StatusItem> createStatusItem(
      const platform::StatusItemSpec& spec) override {
    status = spec;
    return std::make_unique<platform::StatusItem>();
  }
  void alert(const std::string& title, const std::string& text) override {
    alerts.push_back(title + "|" + text);
  }
  void showAbout() override { ++abouts; }
  void chooseFiles(const platform::FileChooserSpec& spec,
                   platform::FileListCompletion done) override {
    choosers.emplace_back(spec, std::move(done));
  }
  void openInBrowser(const std::string&) override {}
  void quit() override {}

  std::vector<platform::Menu> menus;
  FakeWindow* window = nullptr;
  platform::StatusItemSpec status;
  Strings alerts;
  std::vector<std::pair<platform::FileChooserSpec, platform::FileListCompletion>> choosers;
  int abouts = 0;
};

// What happened to a child process; outlives the handle the program holds.
struct ChildRecord {
  bool running = true;
  std::optional<double> stopsAfterTerminate = 0.0;  // never stops when absent
  int terminates = 0, kills = 0;
  double terminatedAt = 0;
};

struct FakeSystem final : platform::System {
  struct Scheduled {
    double when, interval;  // interval 0: once
    std::function<void()> work;
    std::shared_ptr<bool> valid = std::make_shared<bool>(true);
  };
  struct Child final : platform::ChildProcess {
    Child(FakeSystem& s, std::shared_ptr<ChildRecord> r) : system(s), record(std::move(r)) {}
    int pid() const override { return 4242; }
    bool isRunning() override {
      auto& r = *record;
      if (r.terminates && r.stopsAfterTerminate &&
          system.clock >= r.terminatedAt + *r.stopsAfterTerminate)
        r.running = false;
      return r.running;
    }
    void terminate() override { ++record->terminates, record->terminatedAt = system.clock; }
    void kill() override { ++record->kills, record->running = false; }
    FakeSystem& system;
    std::shared_ptr<ChildRecord> record;
  };
  struct Timer final : platform::Timer {
    explicit Timer(std::shared_ptr<bool> v) : valid(std::move(v)) {}
    ~Timer() override { invalidate(); }
    void invalidate() override { *valid = false; }
    std::shared_ptr<bool> valid;
  };

  double now() override { return clock; }
  void sleep(double seconds) override { sleeps.push_back(seconds), clock += seconds; }
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
    probes.push_back({url + " " + std::to_string(timeout), std::move(completion)});
  }
  void runInBackground(std::function<void()> work, std::function<void()> done) override {
    work();
    post(std::move(done));
  }
  platform::SpawnResult spawn(platform::SpawnSpec spec) override {
    children.push_back(std::make_shared<ChildRecord>());
    spawns.push_back(std::move(spec));
    if (spawnError) return {nullptr, *std::exchange(spawnError, std::nullopt)};
    return {std::make_unique<Child>(*this, children.back()), ""};
  }
  std::string homeDirectory() override { return home; }

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
  void answerProbe(std::optional<int> status) {
    post([c = probes.at(answered++).second, status] { c(status); });
    runPending();
  }
  int activeTimers() const {
    return static_cast<int>(std::count_if(scheduled.begin(), scheduled.end(),
                                          [](auto& s) { return s.interval > 0 && *s.valid; }));
  }

  double clock = 1000.0;
  std::string home;
  std::vector<double> sleeps;
  std::vector<std::pair<std::string, std::function<void(std::optional<int>)>>> probes;
  size_t answered = 0;
  std::vector<platform::SpawnSpec> spawns;
  std::vector<std::shared_ptr<ChildRecord>> children;
  std::optional<std::string> spawnError;
  std::vector<std::function<void()>> queue;
  std::vector<Scheduled> scheduled;
};

// A delegate on the fake platform, in a temporary data home and resource folder.
struct World {
  explicit World(bool withResources = true)
      : locations(computeLocations(dir / "data",
                                   withResources ? std::optional(dir / "res") : std::nullopt)),
        delegate(desktop, system, locations) {
    system.home = dir / "home";
  }
  // Launches and answers the launch probe.
  void launch(std::optional<int> status) {
    delegate.applicationDidFinishLaunching();
    system.answerProbe(status);
  }
  // A code root with its command, named by the approot file.
  std::string installCode() {
    writeFile(dir / "code/.venv/bin/tessary", "");
    writeFile(locations.approotFile, dir / "code\n");
    return dir / "code";
  }
  void shipBundle(bool withPage = true) {
    writeFile(*locations.bundledRoot + "/installer/bootstrap.sh", "echo hi\n");
    writeFile(*locations.bundledRoot + "/install.sh", "");
    if (withPage) writeFile(*locations.bundledSetupHTML, "<html></html>");
  }
  FakeWindow& view() { return *desktop.window; }

  TempDir dir;
  FakeDesktop desktop;
  FakeSystem system;
  Locations locations;
  AppDelegate delegate;
};

}  // namespace tessary::testing
