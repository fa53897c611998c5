// Child processes on GLib's spawn, with POSIX process groups and a guardian process that
// stops a group when this program ends without stopping it itself (a crash, SIGKILL).
#include "platform/glib/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <glib-unix.h>
#include <glib.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "base/handle.h"
#include "platform/files.h"
#include "platform/glib/environment.h"
#include "platform/glib/gobject_ptr.h"
#include "platform/glib/main_loop.h"

namespace tessary::platform::glib {

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

// The processes forked below run in a copy of this program, so only async-signal-safe calls
// are allowed there. Descriptors they held would keep pipes and sockets of ours open (the
// session bus among them) after this program ended.
void closeFrom(unsigned first) {
  if (::syscall(SYS_close_range, first, ~0u, 0u) != 0) {
    for (int fd = static_cast<int>(first); fd < 4096; ++fd) ::close(fd);
  }
}

void setSignals(std::initializer_list<int> signals, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  for (int sig : signals) ::sigaction(sig, &action, nullptr);
}

// How a guardian stops its group, in milliseconds.
struct StopSequence {
  long grace;
  long step;
};

// Waits until every write end of the lifeline is closed (this program closed it, or
// ended), then stops the group: politely, and by force after the grace.
[[noreturn]] void guardGroup(int lifeline, pid_t group, StopSequence stop) {
  if (lifeline != 0) {
    ::dup2(lifeline, 0);
    lifeline = 0;
  }
  closeFrom(1);
  setSignals({SIGINT, SIGHUP, SIGTERM, SIGPIPE}, SIG_IGN);
  char byte;
  while (::read(lifeline, &byte, 1) != 0 && errno == EINTR) {
  }
  if (::kill(-group, 0) == 0) {
    ::kill(-group, SIGTERM);
    for (long waited = 0; waited < stop.grace && ::kill(-group, 0) == 0; waited += stop.step)
      sleepMilliseconds(stop.step);
    ::kill(-group, SIGKILL);
  }
  ::_exit(0);
}

// A guardian that outlives this program: forked twice so that it is never our zombie.
Fd startGuardian(pid_t group, StopSequence stop) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return Fd();
  Fd readEnd(fds[0]), writeEnd(fds[1]);
  pid_t middle = ::fork();
  if (middle == 0) {
    ::close(writeEnd.get());
    if (::fork() == 0) guardGroup(readEnd.get(), group, stop);
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

  void readOutput() override {
    if (watch_ && !watch_->read()) watch_->closePipe();
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

// What a kept process's keeper needs, made before the fork.
struct KeptLaunch {
  const char* const* argv;
  const char* const* environment;
  const char* directory;
  int input;  // -1: the program's own
  int output;
  int status;
  int report;  // where a failed start step and its errno go
  int lock;    // -1: none
};
enum KeptStep { kFork, kDirectory, kExec };
// How long the group of a killed keeper may take to go before its lock is let go anyway.
constexpr long kKilledGroupWait = 2000;

[[noreturn]] void reportFailure(int report, int step) {
  const int failure[2] = {step, errno};
  [[maybe_unused]] ssize_t n = ::write(report, failure, sizeof failure);
  ::_exit(127);
}

// Stands by the kept process's group with the keeper's lock until the keeper says the end is
// recorded; a keeper that died without saying so has the whole group killed first, so that no
// wizard of a dead keeper's runs on beside the next one.
[[noreturn]] void guardKept(int lifeline, pid_t group) {
  for (int fd : {0, 1, 2, 3, 4}) ::close(fd);
  setSignals({SIGINT, SIGHUP, SIGTERM, SIGPIPE}, SIG_IGN);
  char byte;
  ssize_t n;
  while ((n = ::read(lifeline, &byte, 1)) < 0 && errno == EINTR) {
  }
  if (n != 1) {
    ::kill(-group, SIGKILL);
    for (long waited = 0; waited < kKilledGroupWait && ::kill(-group, 0) == 0; waited += 10)
      sleepMilliseconds(10);
  }
  ::_exit(0);
}

// The keeper: starts the process, waits for it and writes its exit status into the status
// file, whether this program is still there or not; then ends with it.
[[noreturn]] void keep(const KeptLaunch& l) {
  ::setsid();
  // Into fixed places: 0 input, 1 and 2 output, 3 status, 4 report, 5 lock. Each is first
  // moved above them all, so that no dup2 overwrites another's source.
  const int from[] = {l.input >= 0 ? l.input : 0,     l.output, l.output, l.status, l.report,
                      l.lock >= 0 ? l.lock : l.status};
  int moved[6];
  for (int i = 0; i < 6; ++i) moved[i] = ::fcntl(from[i], F_DUPFD, 6);
  for (int i = 0; i < 6; ++i) ::dup2(moved[i], i);
  closeFrom(6);
  if (l.lock < 0) ::close(5);
  for (int fd : {3, 4, 5}) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  int lifeline[2];
  if (::pipe2(lifeline, O_CLOEXEC) != 0) reportFailure(4, kFork);
  const pid_t keeper = ::getpid();
  const pid_t child = ::fork();
  if (child < 0) reportFailure(4, kFork);
  if (child == 0) {
    ::setpgid(0, 0);
    // Killed with the keeper, also before the guardian below is there.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != keeper) ::_exit(137);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    setSignals({SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT}, SIG_DFL);
    if (l.directory && ::chdir(l.directory) != 0) reportFailure(4, kDirectory);
    ::execve(l.argv[0], const_cast<char* const*>(l.argv), const_cast<char* const*>(l.environment));
    reportFailure(4, kExec);
  }
  ::setpgid(child, child);  // whichever of the two comes first
  const pid_t guardian = ::fork();
  if (guardian == 0) {
    ::close(lifeline[1]);
    guardKept(lifeline[0], child);
  }
  ::close(lifeline[0]);
  // The report's last copies are the child's, closed by its exec, and the guardian's, closed
  // at once: the program reads its end.
  for (int fd : {0, 1, 2, 4}) ::close(fd);
  int waitStatus;
  while (::waitpid(child, &waitStatus, 0) < 0 && errno == EINTR) {
  }
  const int status = exitStatus(waitStatus);
  char text[4];
  int n = 0;
  for (int rest = status, digits = status >= 100 ? 3 : status >= 10 ? 2 : 1; n < digits; ++n)
    text[digits - 1 - n] = static_cast<char>('0' + rest % 10), rest /= 10;
  text[n++] = '\n';
  // Written over the start of what is there, then cut: no new block is needed on a full disk.
  [[maybe_unused]] ssize_t written = ::pwrite(3, text, static_cast<size_t>(n), 0);
  [[maybe_unused]] int cut = ::ftruncate(3, n);
  ::fsync(3);
  // The end is recorded: the guardian lets the group be and lets the lock go.
  written = ::write(lifeline[1], "", 1);
  ::close(lifeline[1]);
  while (guardian > 0 && ::waitpid(guardian, &waitStatus, 0) < 0 && errno == EINTR) {
  }
  ::_exit(status);
}

// Starts the keeper, and through it the process; its pid, or 0 with error and step set.
pid_t startKept(const SpawnOptions& options, const char* const* argv,
                const char* const* environment, int input, int output, std::string& error,
                SpawnStep& step) {
  const Fd status(::open(options.statusFile.c_str(),
                         O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
  if (!status) {
    error = g_strerror(errno);
    return 0;
  }
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    error = g_strerror(errno);
    return 0;
  }
  const Fd reportRead(fds[0]);
  Fd reportWrite(fds[1]);
  const KeptLaunch launch{
      argv,
      environment,
      options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(),
      input,
      output,
      status.get(),
      reportWrite.get(),
      options.lock && options.lock->taken() ? options.lock->descriptor() : -1};
  const pid_t keeper = ::fork();
  if (keeper == 0) keep(launch);
  reportWrite.reset();
  int failure[2] = {kFork, errno};
  ssize_t n = keeper < 0 ? sizeof failure : 0;
  while (keeper > 0 && (n = ::read(reportRead.get(), failure, sizeof failure)) < 0 &&
         errno == EINTR) {
  }
  if (n != sizeof failure) return keeper;
  if (keeper > 0) {
    int ignored;
    while (::waitpid(keeper, &ignored, 0) < 0 && errno == EINTR) {
    }
  }
  error = g_strerror(failure[1]);
  step = failure[0] == kDirectory ? SpawnStep::Directory
         : failure[0] == kExec    ? SpawnStep::Execute
                                  : SpawnStep::Start;
  return 0;
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
  } else if (options.output == Output::File) {
    output =
        Fd(::open(options.outputFile.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!output) return {nullptr, g_strerror(errno)};
  }

  // Standard input is inherited unless it is a terminal, which a child must never read from
  // or be stopped by.
  Fd input(::isatty(0) ? ::open("/dev/null", O_RDONLY | O_CLOEXEC) : -1);
  GPid pid = 0;
  const GStrvPtr environment = userEnvironment();
  const bool kept = !options.statusFile.empty();
  if (kept) {
    std::string error;
    SpawnStep step = SpawnStep::Start;
    pid =
        startKept(options, argv.data(), environment.get(), input.get(), output.get(), error, step);
    if (!pid) return {nullptr, error, step};
  } else {
    GErrorPtr error;
    const auto flags = static_cast<GSpawnFlags>(
        G_SPAWN_DO_NOT_REAP_CHILD | (input.get() < 0 ? G_SPAWN_CHILD_INHERITS_STDIN : 0));
    gboolean started = g_spawn_async_with_pipes_and_fds(
        options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(), argv.data(),
        environment.get(), flags, options.ownSession ? makeSessionLeader : nullptr, nullptr,
        input.get(), output.get(), output.get(), nullptr, nullptr, 0, &pid, nullptr, nullptr,
        nullptr, out(error));
    if (!started) return {nullptr, error ? error->message : "unknown error"};
  }
  output.reset();

  // GLib returns once the child has run its set-up and exec'd: the new session stands.
  Fd lifeline = !kept && options.ownSession && options.stoppedWithProgram
                    ? startGuardian(pid, {std::lround(options.stopGrace * 1000),
                                          std::max(1L, std::lround(options.stopStep * 1000))})
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
      if (watch->onExit) watch->onExit(exitStatus(waitStatus));
    });
  }
  return {std::make_unique<Child>(pid, options.ownSession && !kept, std::move(watch),
                                  std::move(lifeline)),
          ""};
}

}  // namespace tessary::platform::glib
