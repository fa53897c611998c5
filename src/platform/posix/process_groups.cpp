// Sessions, process groups, the guardian and the keeper, on POSIX calls alone (see
// process_groups.h). The processes forked here run in a copy of this program, so only
// async-signal-safe calls are made in them.
#include "platform/posix/process_groups.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/files.h"
#include "platform/linux/kernel.h"

namespace tessary::platform::posix {

namespace {

void sleepMilliseconds(long ms) {
  timespec ts{ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
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
  // Descriptors it held would keep pipes and sockets of ours open (the session bus among
  // them) after this program ended.
  closeDescriptorsFrom(1);
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
Fd startGuardianOf(pid_t group, StopSequence stop) {
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
  closeDescriptorsFrom(6);
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
    killedWithParent();
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

}  // namespace

int exitStatus(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return 255;
}

void makeSessionLeader(void*) {
  ::setsid();
}

OutputEnds openOutput(Output output, const std::string& file) {
  OutputEnds ends;
  if (output == Output::Pipe) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {Fd(), Fd(), std::strerror(errno)};
    ends.read = Fd(fds[0]);
    ends.write = Fd(fds[1]);
  } else if (output == Output::File) {
    ends.write = Fd(::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!ends.write) ends.error = std::strerror(errno);
  }
  return ends;
}

Fd inputForChild() {
  return Fd(::isatty(0) ? ::open("/dev/null", O_RDONLY | O_CLOEXEC) : -1);
}

Fd startGuardian(pid_t group, double grace, double step) {
  return startGuardianOf(group,
                         {std::lround(grace * 1000), std::max(1L, std::lround(step * 1000))});
}

pid_t startKept(const SpawnOptions& options, const char* const* argv,
                const char* const* environment, int input, int output, std::string& error,
                SpawnStep& step) {
  const Fd status(::open(options.statusFile.c_str(),
                         O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
  if (!status) {
    error = std::strerror(errno);
    return 0;
  }
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
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
  error = std::strerror(failure[1]);
  step = failure[0] == kDirectory ? SpawnStep::Directory
         : failure[0] == kExec    ? SpawnStep::Execute
                                  : SpawnStep::Start;
  return 0;
}

bool Process::isRunning() {
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

void Process::terminate() {
  ::kill(group_ ? -pid_ : pid_, SIGTERM);
}

void Process::kill() {
  ::kill(group_ ? -pid_ : pid_, SIGKILL);
}

}  // namespace tessary::platform::posix
