// The Linux-only calls that the POSIX code needs where POSIX has no word for what it wants;
// another kernel gives its own version of this file.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace tessary::platform {

// Whether a process of the group still runs. kill(-group, 0) would also count zombies, which
// linger until their new parent (after ours died) gets round to reaping them.
bool groupHasLiveMembers(pid_t group);
// Closes every descriptor from first up; safe in a forked child.
void closeDescriptorsFrom(unsigned first);
// The calling process is killed when its parent ends; safe in a forked child.
void killedWithParent();
// Takes room on disk for room more bytes beyond the file's end, without making it longer:
// whoever follows the file sees only what is written.
void reserveRoom(int fd, size_t room);

}  // namespace tessary::platform
