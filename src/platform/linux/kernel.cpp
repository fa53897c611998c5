// Linux-only kernel calls: the process table in /proc, close_range, the parent-death signal
// and room reserved on disk.
#include "platform/linux/kernel.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "base/handle.h"

namespace tessary::platform {

bool groupHasLiveMembers(pid_t group) {
  if (::kill(-group, 0) != 0) return false;
  std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
  if (!proc) return true;
  while (dirent* entry = ::readdir(proc.get())) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    char path[300];
    std::snprintf(path, sizeof path, "/proc/%s/stat", entry->d_name);
    Fd fd(::open(path, O_RDONLY | O_CLOEXEC));
    char text[512];
    ssize_t n = fd.get() >= 0 ? ::read(fd.get(), text, sizeof text - 1) : -1;
    if (n <= 0) continue;
    text[n] = 0;
    // "pid (comm) state ppid pgrp ...": comm may hold spaces and parentheses.
    const char* close = std::strrchr(text, ')');
    char state;
    int ppid, pgrp;
    if (close && std::sscanf(close + 1, " %c %d %d", &state, &ppid, &pgrp) == 3 && pgrp == group &&
        state != 'Z' && state != 'X')
      return true;
  }
  return false;
}

void closeDescriptorsFrom(unsigned first) {
  if (::syscall(SYS_close_range, first, ~0u, 0u) != 0) {
    for (int fd = static_cast<int>(first); fd < 4096; ++fd) ::close(fd);
  }
}

void killedWithParent() {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}

void reserveRoom(int fd, size_t room) {
  struct stat info;
  if (::fstat(fd, &info) == 0)
    ::fallocate(fd, FALLOC_FL_KEEP_SIZE, info.st_size, static_cast<off_t>(room));
}

}  // namespace tessary::platform
