// Owning handles for GLib and GObject values: each handle is owned the moment it is made.
#pragma once

#include <glib-object.h>
#include <glib.h>

#include <memory>
#include <utility>
#include <vector>

#include "base/handle.h"

namespace tessary::platform::glib {

struct GObjectUnref {
  void operator()(gpointer object) const {
    if (object) g_object_unref(object);
  }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// Takes ownership of a reference the caller already holds.
template <typename T>
GObjectPtr<T> adopt(T* object) {
  return GObjectPtr<T>(object);
}

struct GFree {
  void operator()(gpointer p) const { g_free(p); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;

struct GStrvFree {
  void operator()(gchar** strv) const { g_strfreev(strv); }
};
using GStrvPtr = std::unique_ptr<gchar*, GStrvFree>;

struct GErrorFree {
  void operator()(GError* e) const {
    if (e) g_error_free(e);
  }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

// A GLib call's error out-parameter, owned by owner once the call returns:
//   g_call(..., out(error));
class ErrorOut {
 public:
  explicit ErrorOut(GErrorPtr& owner) : owner_(owner) {}
  ~ErrorOut() { owner_.reset(raw_); }
  ErrorOut(const ErrorOut&) = delete;
  ErrorOut& operator=(const ErrorOut&) = delete;
  operator GError**() { return &raw_; }

 private:
  GErrorPtr& owner_;
  GError* raw_ = nullptr;
};
inline ErrorOut out(GErrorPtr& owner) {
  return ErrorOut(owner);
}

// Handlers an owner connected to GObjects, disconnected when it goes, so that none runs for
// it after it has gone while the objects live on.
class SignalConnections {
 public:
  SignalConnections() = default;
  ~SignalConnections() {
    for (const auto& [object, id] : ids_)
      if (g_signal_handler_is_connected(object, id)) g_signal_handler_disconnect(object, id);
  }
  SignalConnections(const SignalConnections&) = delete;
  SignalConnections& operator=(const SignalConnections&) = delete;

  template <typename Handler>
  void connect(gpointer object, const char* signal, Handler handler, gpointer data) {
    ids_.emplace_back(object, g_signal_connect(object, signal, G_CALLBACK(handler), data));
  }

 private:
  std::vector<std::pair<gpointer, gulong>> ids_;
};

inline void removeSource(guint id) {
  g_source_remove(id);
}
// A main-loop source, removed when its owner goes.
using SourceId = UniqueHandle<guint, 0, removeSource>;

}  // namespace tessary::platform::glib
