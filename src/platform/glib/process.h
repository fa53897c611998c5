// Child processes: spawning, process groups and their guardian, watched output pipes.
#pragma once

#include "platform/system.h"

namespace tessary::platform::glib {

SpawnResult spawnProcess(SpawnOptions options);

}  // namespace tessary::platform::glib
