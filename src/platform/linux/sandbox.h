// The web engine's sandbox for its content processes.
//
// WebKitGTK 2.50 runs a sandboxed content process through bubblewrap, and checks whether that
// can work only inside containers: on a system that allows no unprivileged user namespaces
// the content process cannot start and the engine ends the program. So bubblewrap is tried
// once, as the engine runs it, while the program starts, and the sandbox is turned on only
// where that worked. This can go once the engine falls back by itself outside containers.
#pragma once

#include <gio/gio.h>

#include "platform/linux/gobject_ptr.h"

namespace tessary::platform::linux_impl {

class EngineSandbox {
 public:
  // Starts the trial in the background.
  void probe();
  // Before the first content process: turns the sandbox on where the trial worked; where it
  // did not, says why once on standard error. A WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS the
  // user set is left to the engine, which then runs no sandbox.
  void enable();

 private:
  GObjectPtr<GSubprocess> trial_;
  bool decided_ = false;
};

}  // namespace tessary::platform::linux_impl
