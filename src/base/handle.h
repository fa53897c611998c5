// The one owner shape for plain handles (file descriptors, main-loop sources): the handle is
// closed when its owner goes, and the owner is moved, never copied.
#pragma once

#include <unistd.h>

#include <utility>

namespace tessary {

template <typename T, T kNone, void (*kClose)(T)>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(T handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  T get() const { return handle_; }
  explicit operator bool() const { return handle_ != kNone; }
  // Gives up ownership without closing.
  T release() { return std::exchange(handle_, kNone); }
  void reset(T handle = kNone) {
    if (handle_ != kNone && handle_ != handle) kClose(handle_);
    handle_ = handle;
  }

 private:
  T handle_ = kNone;
};

inline void closeFd(int fd) {
  ::close(fd);
}
using Fd = UniqueHandle<int, -1, closeFd>;

}  // namespace tessary
