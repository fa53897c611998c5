// Trying the engine's sandbox launcher before the first content process.
#include "platform/linux/sandbox.h"

#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstring>

namespace tessary::platform::linux_impl {

namespace {
// The engine runs it by this path, whatever PATH says.
constexpr char kBubblewrap[] = "/usr/bin/bwrap";

// As WebKitGTK 2.50 reads the variable: any value but "0", an empty one included, turns the
// sandbox off.
bool turnedOffByUser() {
  const char* value = g_getenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS");
  return value && std::strcmp(value, "0") != 0;
}
}  // namespace

void EngineSandbox::probe() {
  if (trial_ || turnedOffByUser()) return;
  // What the engine itself tries inside a container: a new namespace of every kind.
  trial_.reset(g_subprocess_new(static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_SILENCE |
                                                              G_SUBPROCESS_FLAGS_STDERR_PIPE),
                                nullptr, kBubblewrap, "--ro-bind", "/", "/", "--proc", "/proc",
                                "--dev", "/dev", "--unshare-all", "true", nullptr));
}

void EngineSandbox::enable() {
  if (decided_) return;
  decided_ = true;
  if (turnedOffByUser()) return;
  probe();
  GCharPtr why;
  if (trial_) {
    gchar* said = nullptr;
    g_subprocess_communicate_utf8(trial_.get(), nullptr, nullptr, nullptr, &said, nullptr);
    why.reset(said);
    if (g_subprocess_get_if_exited(trial_.get()) &&
        g_subprocess_get_exit_status(trial_.get()) == 0) {
      webkit_web_context_set_sandbox_enabled(webkit_web_context_get_default(), TRUE);
      return;
    }
  }
  std::fprintf(
      stderr,
      "halvaren-tessary: the web engine's sandbox cannot be set up here, so pages run "
      "without it: %s\n",
      why && *why.get() ? g_strstrip(why.get()) : "bubblewrap (/usr/bin/bwrap) did not run");
}

}  // namespace tessary::platform::linux_impl
