// How a backend of this program's is stopped: politely, then by force once the grace is over.
#pragma once

namespace tessary {

inline constexpr double kGracePeriod = 3.0;
// How often, meanwhile, it is looked at whether it has ended.
inline constexpr double kWaitStep = 0.1;

}  // namespace tessary
