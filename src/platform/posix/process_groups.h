// POSIX processes: sessions and process groups, the guardian that stops a group when this
// program ends without stopping it itself (a crash, SIGKILL), and the keeper that runs a
// process on past this program's end and records how it ended.
#pragma once

#include <sys/types.h>

#include <string>

#include "base/handle.h"
#include "platform/system.h"

namespace tessary::platform::posix {

// A wait status as the exit status a shell gives: 128 + the signal's number for a signal.
int exitStatus(int waitStatus);

// A child's set-up before its exec (async-signal-safe): a session of its own, so that no
// terminal's job control (a login profile's "stty" from a background group gets SIGTTOU) can
// stop it, leading a group of its own.
void makeSessionLeader(void*);

// Where a child's output goes: the end it writes (none: the program's own) and, for a pipe,
// the end the program reads; error holds the system's words when it could not be opened.
struct OutputEnds {
  Fd write;
  Fd read;
  std::string error;
};
OutputEnds openOutput(Output output, const std::string& file);
// Standard input for a child: /dev/null in place of a terminal, which a child must never read
// from or be stopped by; none (the program's own) otherwise.
Fd inputForChild();

// Starts a guardian of the group that outlives this program: once every copy of the returned
// descriptor is closed (this program closed it, or ended), it stops the group, politely, then
// after grace seconds (looking every step) by force.
Fd startGuardian(pid_t group, double grace, double step);

// Starts the keeper of a kept process (SpawnOptions::statusFile), and through it the process;
// the keeper's pid, or 0 with error (the system's words) and step set.
pid_t startKept(const SpawnOptions& options, const char* const* argv,
                const char* const* environment, int input, int output, std::string& error,
                SpawnStep& step);

// A started process, or the process group it leads, as the program signals and looks at it.
class Process {
 public:
  // reaped: the main loop waits for it; lifeline: the guardian's, closed with this.
  Process(pid_t pid, bool group, bool reaped, Fd lifeline)
      : pid_(pid), group_(group), watched_(reaped), lifeline_(std::move(lifeline)) {}
  bool isRunning();
  void terminate();
  void kill();

 private:
  pid_t pid_;
  bool group_;
  bool watched_;
  bool reaped_ = false;
  Fd lifeline_;
};

}  // namespace tessary::platform::posix
