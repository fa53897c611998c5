// Running C++ callables from the GLib main loop.
#pragma once

#include <glib.h>

#include <functional>
#include <utility>

namespace tessary::platform::linux_impl {

// Queues work on the default main context; callable from any thread. Same-priority idle
// sources run in the order they were added.
inline void postToMainLoop(std::function<void()> work, int priority = G_PRIORITY_DEFAULT) {
  g_idle_add_full(
      priority,
      [](gpointer data) -> gboolean {
        (*static_cast<std::function<void()>*>(data))();
        return G_SOURCE_REMOVE;
      },
      new std::function<void()>(std::move(work)),
      [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

}  // namespace tessary::platform::linux_impl
