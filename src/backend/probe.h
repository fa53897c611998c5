// What a probe's answer means.
#pragma once

#include <optional>

namespace tessary {

// Any HTTP answer short of a server error means the panel is up.
constexpr bool probeAlive(std::optional<int> status) {
  return status && static_cast<unsigned>(*status - 200) < 300u;
}

}  // namespace tessary
