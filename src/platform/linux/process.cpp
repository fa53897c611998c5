// Child processes on GLib's spawn, with POSIX process groups and a guardian process that
// stops a group when this program ends without stopping it itself (a crash, SIGKILL).
#include "platform/linux/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <glib-unix.h>
#include <glib.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/handle.h"
#include "platform/linux/environment.h"
#include "platform/linux/gobject_ptr.h"
#include "platform/linux/main_loop.h"

namespace tessary::platform::linux_impl {

namespace {

int exitStatus(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return 255;
}

void sleepMilliseconds(long ms) {
  timespec ts{ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

// Runs in a forked copy of this program, so only async-signal-safe calls are allowed.
// Waits until every write end of the lifeline is closed (this program closed it, or
// ended), then stops the group: politely, and by force after three seconds.
[[noreturn]] void guardGroup(int lifeline, pid_t group) {
  // Keep only the lifeline; held descriptors would keep pipes and sockets of ours open.
  if (lifeline != 0) {
    ::dup2(lifeline, 0);
    lifeline = 0;
  }
  if (::syscall(SYS_close_range, 1u, ~0u, 0u) != 0) {
    for (int fd = 1; fd < 4096; ++fd) ::close(fd);
  }
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  for (int sig : {SIGINT, SIGHUP, SIGTERM, SIGPIPE}) ::sigaction(sig, &ignore, nullptr);
  char byte;
  while (::read(lifeline, &byte, 1) != 0 && errno == EINTR) {
  }
  if (::kill(-group, 0) == 0) {
    ::kill(-group, SIGTERM);
    for (int i = 0; i < 30 && ::kill(-group, 0) == 0; ++i) sleepMilliseconds(100);
    ::kill(-group, SIGKILL);
  }
  ::_exit(0);
}

// A guardian that outlives this program: forked twice so that it is never our zombie.
Fd startGuardian(pid_t group) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return Fd();
  Fd readEnd(fds[0]), writeEnd(fds[1]);
  pid_t middle = ::fork();
  if (middle == 0) {
    ::close(writeEnd.get());
    if (::fork() == 0) guardGroup(readEnd.get(), group);
    ::_exit(0);
  }
  if (middle > 0) {
    int status;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
  }
  return writeEnd;
}

// Output and exit of a watched child. Lives until both the pipe and the exit are done,
// independently of the ChildProcess handle.
struct Watch : std::enable_shared_from_this<Watch> {
  Fd pipe;
  SourceId pipeSource;
  bool paused = false;
  std::function<void(std::string_view)> onOutput;
  std::function<void(int)> onExit;

  void watchPipe() {
    const auto condition = static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR);
    pipeSource = SourceId(watchFd(pipe.get(), condition, [self = shared_from_this()] {
      if (self->read(false)) return true;
      self->pipeSource.release();  // removed by returning
      self->pipe.reset();
      return false;
    }));
  }

  void pause(bool pause) {
    if (pause == paused || pipe.get() < 0) return;
    paused = pause;
    if (paused) {
      pipeSource.reset();
    } else {
      watchPipe();
    }
  }

  // Delivers what waits in the pipe, up to a pause unless even a paused pipe is to be read.
  // Returns false at the end of the output.
  bool read(bool evenPaused) {
    char buffer[65536];
    while (pipe.get() >= 0 && (evenPaused || !paused)) {
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

// Whether a process of the group still runs. kill(-group, 0) would also count zombies, which
// linger until their new parent (after ours died) gets round to reaping them.
bool groupHasLiveMembers(pid_t group) {
  if (::kill(-group, 0) != 0) return false;
  std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
  if (!proc) return true;
  while (dirent* entry = ::readdir(proc.get())) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    char path[300];
    std::snprintf(path, sizeof path, "/proc/%s/stat", entry->d_name);
    Fd fd(::open(path, O_RDONLY | O_CLOEXEC));
    char text[512];
    ssize_t n = fd.get() >= 0 ? ::read(fd.get(), text, sizeof text - 1) : -1;
    if (n <= 0) continue;
    text[n] = 0;
    // "pid (comm) state ppid pgrp ...": comm may hold spaces and parentheses.
    const char* close = std::strrchr(text, ')');
    char state;
    int ppid, pgrp;
    if (close && std::sscanf(close + 1, " %c %d %d", &state, &ppid, &pgrp) == 3 && pgrp == group &&
        state != 'Z' && state != 'X')
      return true;
  }
  return false;
}

class Child final : public ChildProcess {
 public:
  Child(pid_t pid, bool group, std::shared_ptr<Watch> watch, Fd lifeline)
      : pid_(pid),
        group_(group),
        watched_(watch),
        watch_(std::move(watch)),
        lifeline_(std::move(lifeline)) {}
  // Closing the lifeline lets the guardian make sure nothing of the group is left.
  ~Child() override = default;

  bool isRunning() override {
    if (!reaped_ && !watched_) {
      int status;
      pid_t r;
      while ((r = ::waitpid(pid_, &status, WNOHANG)) < 0 && errno == EINTR) {
      }
      if (r == 0) return true;
      reaped_ = true;
    }
    if (group_) return groupHasLiveMembers(pid_);
    return watched_ && ::kill(pid_, 0) == 0;
  }

  void terminate() override { ::kill(group_ ? -pid_ : pid_, SIGTERM); }
  void kill() override { ::kill(group_ ? -pid_ : pid_, SIGKILL); }

  void pauseOutput(bool paused) override {
    if (watch_) watch_->pause(paused);
  }

  void readOutput() override {
    if (watch_ && !watch_->read(true)) watch_->closePipe();
  }

 private:
  pid_t pid_;
  bool group_;
  bool watched_;
  std::shared_ptr<Watch> watch_;
  bool reaped_ = false;
  Fd lifeline_;
};

// A session of its own: the group's leader, and no controlling terminal whose job control
// could stop it (a login profile's "stty" from a background group gets SIGTTOU).
void makeSessionLeader(gpointer) {
  ::setsid();
}

}  // namespace

SpawnResult spawnProcess(SpawnOptions options) {
  std::vector<const char*> argv;
  for (const auto& arg : options.argv) argv.push_back(arg.c_str());
  argv.push_back(nullptr);

  Fd output;
  Fd pipeRead;
  if (options.output == Output::Pipe) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {nullptr, g_strerror(errno)};
    pipeRead = Fd(fds[0]);
    output = Fd(fds[1]);
  }

  // Standard input is inherited unless it is a terminal, which a child must never read from
  // or be stopped by.
  Fd input(::isatty(0) ? ::open("/dev/null", O_RDONLY | O_CLOEXEC) : -1);
  GPid pid = 0;
  GError* rawError = nullptr;
  const auto flags = static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD |
                                              (input.get() < 0 ? G_SPAWN_CHILD_INHERITS_STDIN : 0));
  const GStrvPtr environment = userEnvironment();
  gboolean started = g_spawn_async_with_pipes_and_fds(
      options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(), argv.data(),
      environment.get(), flags, options.ownSession ? makeSessionLeader : nullptr, nullptr,
      input.get(), output.get(), output.get(), nullptr, nullptr, 0, &pid, nullptr, nullptr, nullptr,
      &rawError);
  GErrorPtr error(rawError);
  output.reset();
  if (!started) return {nullptr, error ? error->message : "unknown error"};

  // GLib returns once the child has run its set-up and exec'd: the new session stands.
  Fd lifeline = options.ownSession && options.stoppedWithProgram ? startGuardian(pid) : Fd();
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
      watch->read(true);
      watch->closePipe();
      if (watch->onExit) watch->onExit(exitStatus(waitStatus));
    });
  }
  return {std::make_unique<Child>(pid, options.ownSession, std::move(watch), std::move(lifeline)),
          ""};
}

}  // namespace tessary::platform::linux_impl
