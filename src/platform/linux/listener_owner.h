// Who listens on a loopback port, as Linux's socket tables in /proc say.
#pragma once

#include <string_view>
#include <vector>

namespace tessary::platform {

// The owners (user ids) of the listening sockets that a connection to 127.0.0.1:port can
// reach (bound to 127.0.0.1, 0.0.0.0, ::, or their IPv4-mapped forms), read from the text of
// /proc/net/tcp and /proc/net/tcp6.
std::vector<unsigned> loopbackListenerOwners(std::string_view tcp, std::string_view tcp6, int port);
// The same, read from the running system's tables.
std::vector<unsigned> loopbackListenerOwners(int port);

}  // namespace tessary::platform
