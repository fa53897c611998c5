// Who listens on a loopback port, as the kernel's socket tables say.
#pragma once

#include <optional>
#include <string_view>

namespace tessary::platform {

// Whether every listening socket that a connection to 127.0.0.1:port can reach (bound to
// 127.0.0.1, 0.0.0.0, ::, or their IPv4-mapped forms) belongs to uid, read from the text of
// /proc/net/tcp and /proc/net/tcp6. Nothing when no such listener is listed.
std::optional<bool> loopbackListenersOwnedBy(std::string_view tcp, std::string_view tcp6, int port,
                                             unsigned uid);

}  // namespace tessary::platform
