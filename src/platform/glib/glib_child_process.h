// Child processes on GLib's main loop: spawned, their output pipes and their ends watched.
#pragma once

#include "platform/system.h"

namespace tessary::platform::glib {

SpawnResult spawnProcess(SpawnOptions options);

}  // namespace tessary::platform::glib
