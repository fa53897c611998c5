// Where the program keeps its files and finds the ones it ships with.
#include "base/locations.h"

#include <filesystem>
#include <system_error>

namespace tessary {

std::optional<std::string> resourceDirectoryFor(const std::string& executablePath) {
  namespace fs = std::filesystem;
  fs::path prefix = fs::path(executablePath).parent_path().parent_path();
  fs::path resources = prefix / "share" / kProgramName;
  std::error_code error;
  if (!fs::is_directory(resources, error)) return std::nullopt;
  return resources.string();
}

Locations computeLocations(const std::string& dataHome,
                           const std::optional<std::string>& resourceDir) {
  Locations l;
  l.appSupportDir = dataHome + "/HalvarenTessary";
  l.approotFile = l.appSupportDir + "/approot";
  l.shellLogFile = l.appSupportDir + "/native-shell.log";
  l.setupLogFile = l.appSupportDir + "/setup.log";
  l.installedRoot = l.appSupportDir + "/app";
  l.installedListFile = l.appSupportDir + "/app.files";
  l.installedStampFile = l.appSupportDir + "/app.stamp";
  l.wizardStatusFile = l.appSupportDir + "/setup.status";
  l.resourceDir = resourceDir;
  if (resourceDir) {
    l.bundledRoot = *resourceDir + "/app-root";
    l.bundledUVDir = *resourceDir + "/bin";
    l.bundledSetupHTML = *resourceDir + "/setup.html";
    l.bundledStamp = *resourceDir + "/app-root.stamp";
    l.iconThemeDir = std::filesystem::path(*resourceDir).parent_path().string() + "/icons";
  }
  return l;
}

}  // namespace tessary
