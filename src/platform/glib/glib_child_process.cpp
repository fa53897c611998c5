// Child processes on GLib's spawn and main loop; their groups, guardian and keeper are POSIX's
// (posix/process_groups.h).
#include "platform/glib/glib_child_process.h"

#include <glib-unix.h>
#include <glib.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "base/handle.h"
#include "platform/glib/environment.h"
#include "platform/glib/gobject_ptr.h"
#include "platform/glib/main_loop.h"
#include "platform/posix/process_groups.h"

namespace tessary::platform::glib {

namespace {

// Output and exit of a watched child. Lives until both the pipe and the exit are done,
// independently of the ChildProcess handle.
struct Watch : std::enable_shared_from_this<Watch> {
  Fd pipe;
  SourceId pipeSource;
  std::function<void(std::string_view)> onOutput;
  std::function<void(int)> onExit;

  void watchPipe() {
    const auto condition = static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR);
    pipeSource = SourceId(watchFd(pipe.get(), condition, [self = shared_from_this()] {
      if (self->read()) return true;
      self->pipeSource.release();  // removed by returning
      self->pipe.reset();
      return false;
    }));
  }

  // Delivers what waits in the pipe. Returns false at the end of the output.
  bool read() {
    char buffer[65536];
    while (pipe.get() >= 0) {
      ssize_t n = ::read(pipe.get(), buffer, sizeof buffer);
      if (n > 0) {
        if (onOutput) onOutput(std::string_view(buffer, static_cast<size_t>(n)));
        if (static_cast<size_t>(n) < sizeof buffer) return true;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      return n < 0 && errno == EAGAIN;
    }
    return pipe.get() >= 0;
  }

  void closePipe() {
    pipeSource.reset();
    pipe.reset();
  }
};

class Child final : public ChildProcess {
 public:
  Child(posix::Process process, std::shared_ptr<Watch> watch)
      : process_(std::move(process)), watch_(std::move(watch)) {}

  bool isRunning() override { return process_.isRunning(); }
  void terminate() override { process_.terminate(); }
  void kill() override { process_.kill(); }
  void readOutput() override {
    if (watch_ && !watch_->read()) watch_->closePipe();
  }

 private:
  // Going with it closes the lifeline: the guardian makes sure nothing of the group is left.
  posix::Process process_;
  std::shared_ptr<Watch> watch_;
};

}  // namespace

SpawnResult spawnProcess(SpawnOptions options) {
  std::vector<const char*> argv;
  for (const auto& arg : options.argv) argv.push_back(arg.c_str());
  argv.push_back(nullptr);

  auto [output, pipeRead, outputError] = posix::openOutput(options.output, options.outputFile);
  if (!outputError.empty()) return {nullptr, outputError};
  const Fd input = posix::inputForChild();
  GPid pid = 0;
  const GStrvPtr environment = userEnvironment();
  const bool kept = !options.statusFile.empty();
  if (kept) {
    std::string error;
    SpawnStep step = SpawnStep::Start;
    pid = posix::startKept(options, argv.data(), environment.get(), input.get(), output.get(),
                           error, step);
    if (!pid) return {nullptr, error, step};
  } else {
    GErrorPtr error;
    const auto flags = static_cast<GSpawnFlags>(
        G_SPAWN_DO_NOT_REAP_CHILD | (input.get() < 0 ? G_SPAWN_CHILD_INHERITS_STDIN : 0));
    gboolean started = g_spawn_async_with_pipes_and_fds(
        options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(), argv.data(),
        environment.get(), flags, options.ownSession ? posix::makeSessionLeader : nullptr, nullptr,
        input.get(), output.get(), output.get(), nullptr, nullptr, 0, &pid, nullptr, nullptr,
        nullptr, out(error));
    if (!started) return {nullptr, error ? error->message : "unknown error"};
  }
  output.reset();

  // GLib returns once the child has run its set-up and exec'd: the new session stands.
  Fd lifeline = !kept && options.ownSession && options.stoppedWithProgram
                    ? posix::startGuardian(pid, options.stopGrace, options.stopStep)
                    : Fd();
  const bool watched = static_cast<bool>(options.onExit);

  std::shared_ptr<Watch> watch;
  if (watched) {
    watch = std::make_shared<Watch>();
    watch->onOutput = std::move(options.onOutput);
    watch->onExit = std::move(options.onExit);
    if (pipeRead.get() >= 0) {
      g_unix_set_fd_nonblocking(pipeRead.get(), TRUE, nullptr);
      watch->pipe = std::move(pipeRead);
      watch->watchPipe();
    }
    watchChild(pid, [pid, watch](int waitStatus) {
      g_spawn_close_pid(pid);
      // What the child wrote before it ended is all in the pipe now: deliver it first.
      watch->read();
      watch->closePipe();
      if (watch->onExit) watch->onExit(posix::exitStatus(waitStatus));
    });
  }
  return {std::make_unique<Child>(
              posix::Process(pid, options.ownSession && !kept, watched, std::move(lifeline)),
              std::move(watch)),
          ""};
}

}  // namespace tessary::platform::glib
