// Reading the owners of listening sockets out of /proc/net/tcp and /proc/net/tcp6.
#include "platform/linux/listener_owner.h"

#include <cstdio>
#include <sstream>
#include <string>

#include "platform/files.h"

namespace tessary::platform {

namespace {

// Addresses as the tables write them: 32-bit words in the machine's byte order.
constexpr std::string_view kReachable[] = {
    "0100007F",                          // 127.0.0.1
    "00000000",                          // 0.0.0.0
    "00000000000000000000000000000000",  // ::
    "0000000000000000FFFF00000100007F",  // ::ffff:127.0.0.1
    "0000000000000000FFFF000000000000",  // ::ffff:0.0.0.0
};
constexpr std::string_view kListen = "0A";

}  // namespace

std::vector<unsigned> loopbackListenerOwners(std::string_view tcp, std::string_view tcp6,
                                             int port) {
  char portHex[8];
  std::snprintf(portHex, sizeof portHex, "%04X", static_cast<unsigned>(port) & 0xFFFF);
  std::vector<unsigned> owners;
  for (std::string_view table : {tcp, tcp6}) {
    std::istringstream lines{std::string(table)};
    std::string line;
    std::getline(lines, line);  // the heading
    while (std::getline(lines, line)) {
      std::istringstream fields(line);
      std::string slot, local, remote, state, queues, timer, retransmits;
      unsigned owner = 0;
      if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> owner))
        continue;
      const size_t colon = local.find(':');
      if (state != kListen || colon == std::string::npos || local.substr(colon + 1) != portHex)
        continue;
      bool reachable = false;
      for (std::string_view address : kReachable) reachable |= local.substr(0, colon) == address;
      if (reachable) owners.push_back(owner);
    }
  }
  return owners;
}

std::vector<unsigned> loopbackListenerOwners(int port) {
  return loopbackListenerOwners(readUtf8File("/proc/net/tcp").value_or(""),
                                readUtf8File("/proc/net/tcp6").value_or(""), port);
}

}  // namespace tessary::platform
