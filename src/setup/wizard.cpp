// The setup wizard: its process, its output into the log and the page, and its ending.
#include "application/app_delegate.h"
#include "platform/files.h"
#include "setup/install.h"
#include "setup/setup_page.h"
#include "setup/setup_texts.h"

namespace tessary {

namespace {
constexpr double kBackendStartDelay = 1.4;
constexpr double kWizardCheckInterval = 0.5;
}  // namespace

void AppDelegate::launchBootstrap() {
  platform::createEmptyFile(locations_.setupLogFile);
  platform::SpawnOptions options;
  options.argv = {"/bin/bash", locations_.installedRoot + "/installer/bootstrap.sh",
                  locations_.installedRoot, locations_.bundledUVDir.value_or("")};
  options.workingDirectory = locations_.installedRoot;
  // The wizard writes straight into its log, out of reach of a terminal the program was
  // started from, and runs to its end when the program quits first: its keeper then records
  // how it ended for the next start.
  options.output = platform::Output::File;
  options.outputFile = locations_.setupLogFile;
  options.statusFile = locations_.wizardStatusFile;
  options.onExit = [this](int status) { finishWizard(status); };

  auto launched = system_.spawn(std::move(options));
  if (!launched.child) {
    setupPage_->end(failCall(wizardStartFailure(launched.error)));
    return;
  }
  setupProc = std::move(launched.child);
  setupPage_->follow();
}

// A wizard that runs already (left by an earlier run of the program, or started by another):
// its output is shown as it comes, and its end is taken as this program's own wizard's.
void AppDelegate::followWizard() {
  setupPage_->follow();
  wizardWatch_ = system_.startRepeating(kWizardCheckInterval, [this] {
    const auto kept = platform::readKeptStatus(locations_.wizardStatusFile);
    if (kept && kept->running) return;
    wizardWatch_->invalidate();
    finishWizard(kept && kept->exitStatus ? *kept->exitStatus : -1);
  });
}

// A wizard that ended while no program watched it: a success is recorded as it would have
// been, so that the start goes on to the backend.
void AppDelegate::settleEndedWizard() {
  const auto kept = platform::readKeptStatus(locations_.wizardStatusFile);
  if (!kept || kept->running) return;
  if (kept->exitStatus == 0 && platform::readUtf8File(locations_.approotFile))
    recordInstalledStamp(locations_);
  platform::removeFile(locations_.wizardStatusFile);
}

void AppDelegate::finishWizard(int status) {
  platform::removeFile(locations_.wizardStatusFile);
  if (status != 0) {
    setupPage_->end(failCall(wizardFailure(locations_.setupLogFile)));
    return;
  }
  // Without an approot file the next start would install and run the wizard again, forever.
  if (!platform::readUtf8File(locations_.approotFile)) {
    setupPage_->end(failCall(wizardLeftNoApproot(locations_.approotFile, locations_.setupLogFile)));
    return;
  }
  recordInstalledStamp(locations_);
  setupPage_->end("wrDone()");
  system_.postAfter(kBackendStartDelay, [this] { startBackend(); });
}

}  // namespace tessary
