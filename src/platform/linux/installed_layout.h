// Where a program installed in a prefix (or run from a build tree laid out like one) finds
// what it ships with: the Filesystem Hierarchy's share/ beside its bin/.
#pragma once

#include <optional>
#include <string>

#include "platform/application.h"

namespace tessary::platform {

// The hicolor icon theme that holds the program's own icons beside its resources, which no
// system theme holds in a build tree or another prefix; nothing where it ships no resources.
std::optional<std::string> iconThemeDirectory(const ApplicationInfo& info);

}  // namespace tessary::platform
