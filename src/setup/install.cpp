// First run, and the first run of a new version: install the code shipped with the program,
// show the setup page, hand over to the wizard.
#include "setup/install.h"

#include <algorithm>

#include "application/app_delegate.h"
#include "base/text.h"
#include "platform/files.h"
#include "setup/setup_texts.h"

namespace tessary {

namespace {

constexpr const char* kScripts[] = {"installer/bootstrap.sh", "installer/deps.sh",
                                    "installer/models.sh", "install.sh"};

std::string pendingStamp(const Locations& l) {
  return l.installedStampFile + ".pending";
}

std::optional<std::string> shippedStamp(const Locations& l) {
  return l.bundledStamp ? readStamp(*l.bundledStamp) : std::nullopt;
}

// One relative path a line; a record that is not text lists nothing.
std::vector<std::string> recordedFiles(const std::string& path) {
  std::vector<std::string> files;
  const std::string text = platform::readUtf8File(path).value_or("");
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

}  // namespace

std::optional<std::string> readStamp(const std::string& path) {
  auto text = platform::readUtf8File(path);
  if (!text) return std::nullopt;
  std::string stamp = trimWhiteSpace(*text);
  if (stamp.empty()) return std::nullopt;
  return stamp;
}

bool installedCodeOutdated(const Locations& l, const std::string& codeRoot) {
  const auto shipped = shippedStamp(l);
  return shipped && platform::sameEntry(codeRoot, l.installedRoot) &&
         readStamp(l.installedStampFile) != shipped;
}

void installShippedTree(const Locations& l) {
  // Until its wizard succeeds, the tree matches no stamp: every start runs the setup again.
  platform::removeFile(l.installedStampFile);
  platform::copyTree(*l.bundledRoot, l.installedRoot);
  for (const char* script : kScripts) platform::setMode(l.installedRoot + "/" + script, 0755);
  if (const auto shipped = platform::listFiles(*l.bundledRoot)) {
    for (const auto& file : recordedFiles(l.installedListFile)) {
      if (!std::binary_search(shipped->begin(), shipped->end(), file))
        platform::removeInside(l.installedRoot, file);
    }
    platform::replaceFile(l.installedListFile, recordText(*shipped));
  }
  const auto stamp = shippedStamp(l);
  if (!stamp || !platform::replaceFile(pendingStamp(l), *stamp + "\n"))
    platform::removeFile(pendingStamp(l));
}

void recordInstalledStamp(const Locations& l) {
  platform::renameFile(pendingStamp(l), l.installedStampFile);
}

void AppDelegate::runSetup() {
  if (!locations_.bundledRoot ||
      !platform::exists(*locations_.bundledRoot + "/installer/bootstrap.sh")) {
    configAlert(kMissingCodeTitle, kMissingCodeText);
    return;
  }
  platform::createDirectories(locations_.appSupportDir);
  // A missing page would only put the engine's error page where the panel will go.
  if (locations_.bundledSetupHTML && locations_.resourceDir &&
      platform::exists(*locations_.bundledSetupHTML)) {
    setupPage_->shown();
    webView->loadFile(*locations_.bundledSetupHTML, *locations_.resourceDir);
  }
  system_.runInBackground([locations = locations_] { installShippedTree(locations); },
                          [this] { launchBootstrap(); });
}

}  // namespace tessary
