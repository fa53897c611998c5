// Clock, main queue, timers, the HTTP probe, worker threads and child processes.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessary::platform {

class FolderLock;

// A repeating timer; destroying it or calling invalidate() stops it for good.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void invalidate() = 0;
};

class ChildProcess {
 public:
  virtual ~ChildProcess() = default;
  // True while the process (for a group leader: any process of its group) still runs.
  virtual bool isRunning() = 0;
  // The polite stop (SIGTERM) and the forced stop (SIGKILL); a group leader's whole group
  // receives them.
  virtual void terminate() = 0;
  virtual void kill() = 0;
  // Pipe output: delivers what waits in the pipe now, without the main loop.
  virtual void readOutput() = 0;
};

enum class Output {
  Inherit,  // the program's own standard output and error
  Pipe,     // both streams into one pipe, delivered to onOutput
  File,     // both streams appended to outputFile
};

struct SpawnOptions {
  std::vector<std::string> argv;  // argv[0] is the executable's path
  std::string workingDirectory;
  Output output = Output::Inherit;
  // Leader of a new process group, in a session of its own without a terminal, so that
  // nothing the terminal sends (Ctrl-C, Ctrl-Z, a hang-up) reaches it or its children.
  bool ownSession = false;
  // That group is stopped when this program ends, however it ends: politely, then, if any of it
  // is still there after stopGrace seconds (looked at every stopStep), by force.
  bool stoppedWithProgram = false;
  double stopGrace = 0;
  double stopStep = 0.1;
  std::string outputFile;
  // The process goes on when this program ends, however it ends: a keeper process of its own,
  // in a session of its own, waits for it and writes its exit status ("N\n") over statusFile
  // at the end. The process leads a group of its own that ends with its keeper: a keeper that
  // is killed takes the process and everything it started with it.
  std::string statusFile;
  // Held by the keeper too, until the group of a killed keeper has gone or the end is recorded.
  const FolderLock* lock = nullptr;
  // Pipe output, on the main loop; all output is delivered before onExit.
  std::function<void(std::string_view bytes)> onOutput;
  // Exit status on the main loop (128 + signal number when a signal ended it); when set,
  // the process is watched and reaped by the main loop.
  std::function<void(int status)> onExit;
};

// Where a kept process's start failed.
enum class SpawnStep { Start, Directory, Execute };

struct SpawnResult {
  std::unique_ptr<ChildProcess> child;  // absent when the start failed
  std::string error;                    // the reason; for a kept process, the system's words
  SpawnStep failedAt = SpawnStep::Start;
};

class System {
 public:
  virtual ~System() = default;
  // Monotonic seconds.
  virtual double now() = 0;
  // Blocks the calling thread.
  virtual void sleep(double seconds) = 0;
  virtual void post(std::function<void()> work) = 0;
  virtual void postAfter(double seconds, std::function<void()> work) = 0;
  virtual std::unique_ptr<Timer> startRepeating(double interval, std::function<void()> tick) = 0;
  // GET of url, bypassing every cache and proxy. The completion runs once on the main loop,
  // never before probe() returns, with the HTTP status or nothing.
  virtual void probe(const std::string& url, double timeout,
                     std::function<void(std::optional<int> status)> completion) = 0;
  // The owners of the listening sockets that a connection to 127.0.0.1:port reaches, as far as
  // the system tells (nothing where it tells nothing), and the user this program runs as.
  virtual std::vector<unsigned> loopbackListenerOwners(int port) = 0;
  virtual unsigned currentUser() = 0;
  // work on a worker thread, then done on the main loop.
  virtual void runInBackground(std::function<void()> work, std::function<void()> done) = 0;
  virtual SpawnResult spawn(SpawnOptions options) = 0;
  virtual std::string homeDirectory() = 0;
};

}  // namespace tessary::platform
