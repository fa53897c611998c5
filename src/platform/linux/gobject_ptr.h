// Owning handles for GLib and GObject values: each handle is owned the moment it is made.
#pragma once

#include <glib-object.h>
#include <glib.h>

#include <memory>

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

// A main-loop source id, removed when the owner goes.
class SourceId {
 public:
  SourceId() = default;
  explicit SourceId(guint id) : id_(id) {}
  ~SourceId() { reset(); }
  SourceId(SourceId&& other) noexcept : id_(other.release()) {}
  SourceId& operator=(SourceId&& other) noexcept {
    if (this != &other) {
      reset();
      id_ = other.release();
    }
    return *this;
  }
  void reset() {
    if (id_) g_source_remove(id_);
    id_ = 0;
  }
  // Gives up ownership without removing the source.
  guint release() {
    guint id = id_;
    id_ = 0;
    return id;
  }

 private:
  guint id_ = 0;
};

}  // namespace tessary::platform::linux_impl
