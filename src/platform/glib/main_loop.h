// C++ callables run from GLib's main loop: the one way a C++ value is handed to a GLib
// callback as its data and deleted with it.
#pragma once

#include <glib-unix.h>
#include <glib.h>

#include <functional>
#include <utility>

namespace tessary::platform::glib {

// A C++ value as GLib callback data: box() hands it over, destroy() is the destroy notify.
template <typename T>
struct Boxed {
  static gpointer box(T value) { return new T(std::move(value)); }
  static T& of(gpointer data) { return *static_cast<T*>(data); }
  static void destroy(gpointer data) { delete static_cast<T*>(data); }
  static void destroyClosure(gpointer data, GClosure*) { destroy(data); }
};

// Attaches source to the default main context with callback as its data, deleted with the
// source; dispatch is the source type's own callback shape, calling Boxed<Callback>::of(data).
template <typename Callback>
guint attachBoxed(GSource* source, GSourceFunc dispatch, Callback callback,
                  int priority = G_PRIORITY_DEFAULT) {
  g_source_set_priority(source, priority);
  g_source_set_callback(source, dispatch, Boxed<Callback>::box(std::move(callback)),
                        Boxed<Callback>::destroy);
  const guint id = g_source_attach(source, nullptr);
  g_source_unref(source);
  return id;
}

// Runs callback from source until it returns false; the callback goes with the source.
// Returns the source's id.
inline guint attach(GSource* source, std::function<bool()> callback,
                    int priority = G_PRIORITY_DEFAULT) {
  using Callback = std::function<bool()>;
  return attachBoxed(
      source,
      [](gpointer data) -> gboolean {
        return Boxed<Callback>::of(data)() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
      },
      std::move(callback), priority);
}

// Runs callback while fd meets condition, until it returns false; it goes with the source.
inline guint watchFd(int fd, GIOCondition condition, std::function<bool()> callback) {
  using Callback = std::function<bool()>;
  return attachBoxed(g_unix_fd_source_new(fd, condition),
                     G_SOURCE_FUNC(+[](gint, GIOCondition, gpointer data) -> gboolean {
                       return Boxed<Callback>::of(data)() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
                     }),
                     std::move(callback));
}

// Calls ended with the wait status once the child has ended; the child is then reaped.
inline guint watchChild(GPid pid, std::function<void(int waitStatus)> ended) {
  using Callback = std::function<void(int)>;
  return attachBoxed(
      g_child_watch_source_new(pid),
      G_SOURCE_FUNC(+[](GPid, gint status, gpointer data) { Boxed<Callback>::of(data)(status); }),
      std::move(ended));
}

// Queues work on the main loop; callable from any thread. Same-priority idle sources run in
// the order they were added.
inline void postToMainLoop(std::function<void()> work, int priority = G_PRIORITY_DEFAULT) {
  attach(
      g_idle_source_new(),
      [work = std::move(work)] {
        work();
        return false;
      },
      priority);
}

}  // namespace tessary::platform::glib
