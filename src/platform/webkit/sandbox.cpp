// Deciding whether the engine's sandbox can be used, without ever holding up the program.
#include "platform/webkit/sandbox.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "base/handle.h"
#include "platform/files.h"
#include "platform/glib/gobject_ptr.h"
#include "platform/webkit/compat.h"

namespace tessary::platform::webkit {

using namespace glib;

namespace {

// The engine runs it by this path, whatever PATH says.
constexpr char kBubblewrap[] = "/usr/bin/bwrap";
// A healthy bubblewrap answers within 30 ms here, and within 40 ms with both cores busy
// (bench/results/2026-12-08-startup-sandbox.md): ten times that is waited for at most, on the
// way to the first page only.
constexpr auto kAnswerWithin = std::chrono::milliseconds(500);

// As WebKitGTK 2.50 reads the variable: any value but "0", an empty one included, turns the
// sandbox off.
bool turnedOffByUser() {
  const char* value = g_getenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS");
  return value && std::strcmp(value, "0") != 0;
}

bool setTo(const char* path, const char* value) {
  auto text = readUtf8File(path);
  return text && g_strcmp0(g_strstrip(text->data()), value) == 0;
}

std::string bubblewrap(const char* what) {
  return std::string("bubblewrap (") + kBubblewrap + ") " + what;
}

// What the system's settings say for certain: why bubblewrap cannot work, or nothing.
std::optional<std::string> settledRefusal() {
  if (::access(kBubblewrap, X_OK) != 0) return bubblewrap("is not installed");
  if (setTo("/proc/sys/user/max_user_namespaces", "0"))
    return "user namespaces are turned off (user.max_user_namespaces is 0)";
  if (::getuid() != 0 && setTo("/proc/sys/kernel/unprivileged_userns_clone", "0"))
    return "unprivileged user namespaces are turned off (kernel.unprivileged_userns_clone is 0)";
  return std::nullopt;
}

void ownGroup(gpointer) {
  ::setpgid(0, 0);
}

}  // namespace

void EngineSandbox::start() {
  if (started_ || turnedOffByUser()) return;
  started_ = true;
  if (auto refusal = settledRefusal()) {
    refusal_ = std::move(refusal);
    return;
  }
  thread_ = std::thread([this] { runTrial(); });
}

// What the engine itself tries inside a container: a new namespace of every kind.
void EngineSandbox::runTrial() {
  const char* argv[] = {kBubblewrap, "--ro-bind",     "/",    "/",    "--proc", "/proc", "--dev",
                        "/dev",      "--unshare-all", "true", nullptr};
  GPid pid = 0;
  gint errors = -1;
  GErrorPtr error;
  // Started under the lock, so that the program's end always finds it to stop, or finds it
  // not begun and keeps it from beginning.
  std::unique_lock lock(mutex_);
  if (ending_) return;
  const bool spawned = g_spawn_async_with_pipes(
      nullptr, const_cast<char**>(argv), nullptr,
      static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDOUT_TO_DEV_NULL), ownGroup,
      nullptr, &pid, nullptr, nullptr, &errors, out(error));
  const Fd said(errors);
  if (!spawned) {
    refusal_ = error ? error->message : bubblewrap("did not start");
    answered_.notify_all();
    return;
  }
  trial_ = pid;
  lock.unlock();
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  // Its reason, where it gave one, is in the pipe by now; what its children still hold is not
  // waited for.
  char reason[1024] = {};
  ::fcntl(said.get(), F_SETFL, O_NONBLOCK);
  const ssize_t n = ::read(said.get(), reason, sizeof reason - 1);
  lock.lock();
  trial_ = 0;
  if (!refusal_) {
    const bool works = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    refusal_ = works ? "" : n > 0 ? g_strstrip(reason) : bubblewrap("did not run");
  }
  answered_.notify_all();
}

void EngineSandbox::decide() {
  if (decided_ || turnedOffByUser()) return;
  decided_ = true;
  start();
  std::unique_lock lock(mutex_);
  if (!answered_.wait_for(lock, kAnswerWithin, [this] { return refusal_.has_value(); })) {
    refusal_ = bubblewrap("gave no answer within half a second");
    if (trial_) ::kill(-trial_, SIGKILL);
  }
  useSandbox(refusal_->empty());
  if (refusal_->empty()) return;
  std::fprintf(stderr,
               "%s: the web engine's sandbox cannot be set up here, so pages run without it: "
               "%s\n",
               command_.c_str(), refusal_->c_str());
}

bool EngineSandbox::decideIfAnswered() {
  {
    std::lock_guard lock(mutex_);
    if (!decided_ && !turnedOffByUser() && !refusal_) return false;
  }
  decide();
  return true;
}

EngineSandbox::~EngineSandbox() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
    if (trial_) ::kill(-trial_, SIGKILL);
  }
  if (thread_.joinable()) thread_.join();
}

}  // namespace tessary::platform::webkit
