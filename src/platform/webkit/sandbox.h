// The web engine's sandbox for its content processes.
//
// WebKitGTK 2.50 runs a sandboxed content process through bubblewrap, and checks whether that
// can work only inside containers: on a system that allows no unprivileged user namespaces
// the content process cannot start and the engine ends the program. So the sandbox is used
// only where bubblewrap was seen to work, as the engine runs it. This can go once the engine
// falls back by itself outside containers.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tessary::platform::webkit {

class EngineSandbox {
 public:
  // command names the program in its one message.
  explicit EngineSandbox(std::string command) : command_(std::move(command)) {}
  // A trial still running is stopped, and one not begun never begins: nothing waits for it.
  ~EngineSandbox();
  EngineSandbox(const EngineSandbox&) = delete;
  EngineSandbox& operator=(const EngineSandbox&) = delete;

  // As early as the process allows: decides at once where the system's settings say enough,
  // and otherwise runs bubblewrap once on a thread of its own. The main loop never waits.
  void start();
  // Before the first content process: turns the sandbox on where the trial worked, waiting a
  // short while at most for its answer; where it did not, says why once on standard error. A
  // WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS the user set is left to the engine.
  void decide();
  // The same where the answer is there already; false, deciding nothing, where it is not.
  bool decideIfAnswered();

 private:
  void runTrial();

  const std::string command_;
  std::mutex mutex_;
  std::condition_variable answered_;
  std::optional<std::string> refusal_;  // once known: empty where bubblewrap works, else why not
  pid_t trial_ = 0;                     // its process group, while it runs
  bool ending_ = false;                 // the program ends: no trial is begun any more
  std::thread thread_;
  bool started_ = false;
  bool decided_ = false;
};

}  // namespace tessary::platform::webkit
