// Where the program keeps its files and finds the ones it ships with.
#include "base/locations.h"

namespace tessary {

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
  }
  return l;
}

}  // namespace tessary
