// Installing the shipped code, also over an earlier version of it: the shipped tree's stamp
// against the one recorded when its setup wizard last succeeded, and the files an earlier
// version installed against the ones this version ships.
#pragma once

#include <optional>
#include <string>

#include "application/locations.h"

namespace tessary {

// The trimmed text of a stamp file; nothing for one that is missing, empty or not a small text.
std::optional<std::string> readStamp(const std::string& path);

// Whether the code root is the program's own installed tree holding other code than the
// program ships, or code installed before stamps were recorded. Code installed elsewhere, by
// hand, is never the program's to replace, and a program that ships no stamp replaces nothing.
bool installedCodeOutdated(const Locations& locations, const std::string& codeRoot);

// On a worker thread: copies the shipped tree over the installed one, removes the files an
// earlier version installed that this one does not ship (and folders that leaves empty),
// records the files installed now, and holds the shipped stamp back for the wizard's success.
void installShippedTree(const Locations& locations);

// The setup wizard succeeded: the installed code is the shipped one.
void recordInstalledStamp(const Locations& locations);

}  // namespace tessary
