// What a probe's answer, and whoever listens on the panel's port, mean.
#pragma once

#include <algorithm>
#include <optional>
#include <vector>

namespace tessary {

// How long the launch, and a try again after a give-up, ask whether the panel answers.
inline constexpr double kLaunchProbeTimeout = 1.0;

// Any HTTP answer short of a server error means the panel is up.
constexpr bool probeAlive(std::optional<int> status) {
  return status && static_cast<unsigned>(*status - 200) < 300u;
}

// Loopback ports are shared by every user of the machine: a listener on the panel's port that
// is another user's is not the panel. Where the system tells of no listener, nothing is known.
inline bool listenersAreOwn(const std::vector<unsigned>& owners, unsigned user) {
  return std::all_of(owners.begin(), owners.end(),
                     [user](unsigned owner) { return owner == user; });
}

}  // namespace tessary
