// A deterministic platform for logic tests: a manual clock, a manual main queue, and
// recorders for everything the program asks of the desktop. Files stay real (temporary
// folders), since the logic reads and writes them through plain POSIX calls.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/system.h"

namespace tessary::testing {

class FakeWebView final : public platform::WebView {
 public:
  void loadUrl(const std::string& url) override { loads.push_back(url); }
  void loadFile(const std::string& path, const std::string& root) override {
    loads.push_back("file:" + path + " root:" + root);
  }
  void runScript(const std::string& statement) override { scripts.push_back(statement); }
  void editCommand(platform::EditCommand command) override { edits.push_back(command); }
  void setNavigationPolicy(
      std::function<bool(const std::optional<platform::Address>&)> allow) override {
    policy = std::move(allow);
  }
  void setFileRequestHandler(
      std::function<void(const platform::FileRequest&, platform::FileListCompletion)> h) override {
    fileRequests = std::move(h);
  }

  std::vector<std::string> loads;
  std::vector<std::string> scripts;
  std::vector<platform::EditCommand> edits;
  std::function<bool(const std::optional<platform::Address>&)> policy;
  std::function<void(const platform::FileRequest&, platform::FileListCompletion)> fileRequests;
};

class FakeWindow final : public platform::Window {
 public:
  explicit FakeWindow(platform::WindowSpec s) : spec(std::move(s)) {}
  void present() override {
    visible = true;
    ++presents;
  }
  void hide() override { visible = false; }
  void minimize() override { ++minimizes; }
  bool isVisible() const override { return visible; }
  void setCloseHandler(std::function<bool()> h) override { shouldClose = std::move(h); }
  platform::WebView& webView() override { return view; }

  platform::WindowSpec spec;
  bool visible = true;
  int presents = 0;
  int minimizes = 0;
  std::function<bool()> shouldClose;
  FakeWebView view;
};

struct FakeStatusItem final : platform::StatusItem {};

struct Alert {
  std::string title;
  std::string text;
};

class FakeDesktop final : public platform::Desktop {
 public:
  void installMenuBar(std::vector<platform::Menu> m) override { menus = std::move(m); }
  std::unique_ptr<platform::Window> createWindow(const platform::WindowSpec& spec) override {
    auto w = std::make_unique<FakeWindow>(spec);
    window = w.get();
    return w;
  }
  std::unique_ptr<platform::StatusItem> createStatusItem(
      const platform::StatusItemSpec& spec) override {
    statusSpec = spec;
    return std::make_unique<FakeStatusItem>();
  }
  void alert(const std::string& title, const std::string& text) override {
    alerts.push_back({title, text});
  }
  void showAbout() override { ++abouts; }
  void chooseFiles(const platform::FileChooserSpec& spec,
                   platform::FileListCompletion done) override {
    choosers.push_back(spec);
    chooserCompletions.push_back(std::move(done));
  }
  void openInBrowser(const std::string& url) override { browserOpens.push_back(url); }
  void quit() override { ++quits; }

  std::vector<platform::Menu> menus;
  FakeWindow* window = nullptr;
  std::optional<platform::StatusItemSpec> statusSpec;
  std::vector<Alert> alerts;
  int abouts = 0;
  std::vector<platform::FileChooserSpec> choosers;
  std::vector<platform::FileListCompletion> chooserCompletions;
  std::vector<std::string> browserOpens;
  int quits = 0;
};

class FakeSystem;

// What happened to a child process; outlives the handle the program holds.
struct ChildRecord {
  bool running = true;
  // Seconds after the polite stop at which the process ends; never when absent.
  std::optional<double> stopsAfterTerminate = 0.0;
  int terminates = 0;
  int kills = 0;
  std::optional<double> terminatedAt;
  bool released = false;  // the program let go of its handle
};

class FakeChild final : public platform::ChildProcess {
 public:
  FakeChild(FakeSystem& system, std::shared_ptr<ChildRecord> record)
      : system_(system), record_(std::move(record)) {}
  ~FakeChild() override { record_->released = true; }
  int pid() const override { return 4242; }
  bool isRunning() override;
  void terminate() override;
  void kill() override {
    ++record_->kills;
    record_->running = false;
  }

 private:
  FakeSystem& system_;
  std::shared_ptr<ChildRecord> record_;
};

struct FakeProbe {
  std::string url;
  double timeout;
  std::function<void(std::optional<int>)> completion;
  bool answered = false;
};

struct FakeSpawn {
  platform::SpawnSpec spec;
  std::shared_ptr<ChildRecord> child;  // absent when the start failed
};

class FakeSystem final : public platform::System {
 public:
  double now() override { return clock; }
  void sleep(double seconds) override {
    sleeps.push_back(seconds);
    clock += seconds;
  }
  void post(std::function<void()> work) override { queue.push_back(std::move(work)); }
  void postAfter(double seconds, std::function<void()> work) override {
    delayed.push_back({clock + seconds, std::move(work)});
  }
  std::unique_ptr<platform::Timer> startRepeating(double interval,
                                                  std::function<void()> tick) override;
  void probe(const std::string& url, double timeout,
             std::function<void(std::optional<int>)> completion) override {
    probes.push_back({url, timeout, std::move(completion)});
  }
  void runInBackground(std::function<void()> work, std::function<void()> done) override {
    work();
    post(std::move(done));
  }
  platform::SpawnResult spawn(platform::SpawnSpec spec) override;
  std::string homeDirectory() override { return home; }

  // Runs everything queued on the main queue, including work queued meanwhile.
  void runPending();
  // Moves the clock forward, firing timers and delayed work in time order.
  void advance(double seconds);
  // Answers the oldest unanswered probe through the main queue.
  void answerProbe(std::optional<int> status);
  size_t outstandingProbes() const;
  int activeTimers() const;

  double clock = 1000.0;
  std::string home = "/home/fake";
  std::vector<double> sleeps;
  std::vector<FakeProbe> probes;
  std::vector<FakeSpawn> spawns;
  std::optional<std::string> nextSpawnError;

  struct TimerState {
    double interval;
    double next;
    std::function<void()> tick;
    bool valid = true;
  };
  std::vector<std::shared_ptr<TimerState>> timers;

 private:
  struct Delayed {
    double when;
    std::function<void()> work;
  };
  std::vector<std::function<void()>> queue;
  std::vector<Delayed> delayed;
};

}  // namespace tessary::testing
