// Installing the shipped code, also over an earlier version of it: the shipped tree's stamp
// against the one recorded when its setup wizard last succeeded, and the files an earlier
// version installed against the ones this version ships.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/locations.h"
#include "platform/files.h"

namespace tessary {

// The trimmed text of a stamp file; nothing for one that is missing, empty or not a small text.
std::optional<std::string> readStamp(const std::string& path);

// The stamp of the code the program ships.
std::optional<std::string> shippedStamp(const Locations& locations);

// Whether the code root is the program's own installed tree holding other code than the
// program ships, or code installed before stamps were recorded. Code installed elsewhere, by
// hand, is never the program's to replace, and a program that ships no stamp replaces nothing.
bool installedCodeOutdated(const Locations& locations, const std::string& codeRoot);

// On a worker thread: removes the files an earlier version installed that this one does not
// ship (and folders that leaves empty), copies the shipped tree over the installed one,
// records the files installed now, and, when every entry was copied and recorded, holds the
// stamp (read before, as the launch decided on it) back for the wizard's success. What it
// copied and what it recorded are on disk when it returns. The entries it could not write,
// each listed in the setup log as far as a bound goes, then a count of the rest.
std::vector<platform::CopyFailure> installShippedTree(const Locations& locations,
                                                      const std::optional<std::string>& stamp);

// The stamp held back for the wizard of the tree copied last, until the wizard succeeds.
std::optional<std::string> installingStamp(const Locations& locations);

// The setup wizard succeeded: the installed code is the one whose stamp was held back.
void recordInstalledStamp(const Locations& locations);

}  // namespace tessary
