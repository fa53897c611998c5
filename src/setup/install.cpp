// First run, and the first run of a new version: install the code shipped with the program,
// show the setup page, hand over to the wizard.
#include "setup/install.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "base/text.h"
#include "platform/files.h"
#include "setup/setup_texts.h"

namespace tessary {

namespace {

constexpr const char* kScripts[] = {"installer/bootstrap.sh", "installer/deps.sh",
                                    "installer/models.sh", "install.sh"};

// Room enough in the setup log to list some hundreds of entries that could not be written.
constexpr size_t kFailureLogRoom = 64 << 10;
// Kept within it for the line that counts the rest.
constexpr size_t kRestLineRoom = 128;

std::string pendingStamp(const Locations& l) {
  return l.installedStampFile + ".pending";
}

// One relative path a line; a record that is not text lists nothing. It is read whatever its
// size, as it was written.
std::vector<std::string> recordedFiles(const std::string& path) {
  std::vector<std::string> files;
  const std::string text = platform::readUtf8File(path, SIZE_MAX).value_or("");
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = std::min(text.find('\n', start), text.size());
    if (end > start) files.push_back(text.substr(start, end - start));
  }
  return files;
}

// A name that the record cannot hold as a line of text is left out of it (and so never removed).
std::string recordText(const std::vector<std::string>& files) {
  std::string text;
  for (const auto& file : files)
    if (file.find('\n') == std::string::npos && isValidUtf8(file)) text += file + "\n";
  return text;
}

// Each entry, as far as the room goes, then how many more there were.
void listFailures(platform::ReservedFile& log, const std::vector<platform::CopyFailure>& failures) {
  size_t used = 0, listed = 0;
  for (; listed < failures.size(); ++listed) {
    const std::string line = copyFailureLine(failures[listed].path, failures[listed].reason);
    if (used + line.size() > kFailureLogRoom - kRestLineRoom) break;
    log.write(line);
    used += line.size();
  }
  if (listed < failures.size()) log.write(copyFailuresNotListed(failures.size() - listed));
}

}  // namespace

std::optional<std::string> readStamp(const std::string& path) {
  auto text = platform::readUtf8File(path);
  if (!text) return std::nullopt;
  std::string stamp = trimWhiteSpace(*text);
  if (stamp.empty()) return std::nullopt;
  return stamp;
}

std::optional<std::string> shippedStamp(const Locations& l) {
  return l.bundledStamp ? readStamp(*l.bundledStamp) : std::nullopt;
}

bool installedCodeOutdated(const Locations& l, const std::string& codeRoot) {
  const auto shipped = shippedStamp(l);
  return shipped && platform::sameEntry(codeRoot, l.installedRoot) &&
         readStamp(l.installedStampFile) != shipped;
}

std::vector<platform::CopyFailure> installShippedTree(const Locations& l,
                                                      const std::optional<std::string>& stamp) {
  // Until its wizard succeeds, the tree matches no stamp: every start runs the setup again.
  platform::removeEntry(l.installedStampFile);
  platform::removeEntry(pendingStamp(l));
  const auto shipped = platform::listFiles(*l.bundledRoot);
  // What the earlier version shipped and this one does not goes first: a folder of the one
  // may stand where the other ships a file.
  if (shipped) {
    for (const auto& file : recordedFiles(l.installedListFile)) {
      if (!std::binary_search(shipped->begin(), shipped->end(), file))
        platform::removeInside(l.installedRoot, file);
    }
  }
  // The run's log, made when it began; its room is taken before the copy can fill the disk, so
  // that it lists what could not be written then.
  platform::ReservedFile log(l.setupLogFile, kFailureLogRoom);
  auto failures = platform::copyTree(*l.bundledRoot, l.installedRoot);
  for (const char* script : kScripts) platform::setMode(l.installedRoot + "/" + script, 0755);
  // Without its record, the next version could not tell what this one installed.
  if (!shipped) {
    failures.push_back({*l.bundledRoot, kUnreadableTree});
  } else if (auto error = platform::replaceFile(l.installedListFile, recordText(*shipped))) {
    failures.push_back({l.installedListFile, *error});
  }
  // A tree copied in part, or unrecorded, is no version at all: the next start copies it again.
  if (failures.empty()) {
    if (stamp) platform::replaceFile(pendingStamp(l), *stamp + "\n");
  } else {
    listFailures(log, failures);
  }
  return failures;
}

std::optional<std::string> installingStamp(const Locations& l) {
  return readStamp(pendingStamp(l));
}

void recordInstalledStamp(const Locations& l) {
  if (const auto stamp = readStamp(pendingStamp(l))) {
    platform::replaceFile(l.installedStampFile, *stamp + "\n");
    platform::removeEntry(pendingStamp(l));
  }
}

}  // namespace tessary
