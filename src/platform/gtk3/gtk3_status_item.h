// The status-area icon, as a StatusNotifierItem through Ayatana AppIndicator.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/desktop.h"

namespace tessary::platform::gtk3 {

// iconThemePath: a folder holding hicolor icons of our own (the build tree has no installed
// theme), or nothing to use the system's themes only.
std::unique_ptr<StatusItem> createIndicator(const StatusItemOptions& options,
                                            const std::optional<std::string>& iconThemePath);

}  // namespace tessary::platform::gtk3
