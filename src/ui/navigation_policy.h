// Which addresses the web view may show: the loopback host and local schemes only.
#pragma once

#include <optional>

#include "platform/types.h"

namespace tessary {

// Whole-text comparisons of scheme and host; nothing else about the navigation counts.
bool allowNavigation(const std::optional<platform::Address>& address);

}  // namespace tessary
