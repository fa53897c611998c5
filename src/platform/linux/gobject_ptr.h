// Owning handles for GLib and GObject values: each handle is owned the moment it is made.
#pragma once

#include <glib-object.h>
#include <glib.h>

#include <memory>

#include "platform/handle.h"

namespace tessary::platform::linux_impl {

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

inline void removeSource(guint id) {
  g_source_remove(id);
}
// A main-loop source, removed when its owner goes.
using SourceId = UniqueHandle<guint, 0, removeSource>;

}  // namespace tessary::platform::linux_impl
