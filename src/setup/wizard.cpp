// The setup wizard: its process, its output into the log and the page, and its ending.
#include "application/app_delegate.h"
#include "base/text.h"
#include "platform/files.h"
#include "setup/install.h"
#include "setup/js_string.h"
#include "setup/setup_page.h"
#include "setup/setup_texts.h"

namespace tessary {

namespace {

constexpr double kBackendStartDelay = 1.4;

// A path in the message need not be UTF-8; the page still gets all of the message.
std::string failCall(const std::string& message) {
  return "wrFail(" + jsString(validUtf8(message)) + ")";
}

}  // namespace

void AppDelegate::launchBootstrap() {
  platform::createEmptyFile(locations_.setupLogFile);
  auto log = std::make_shared<platform::AppendFile>(locations_.setupLogFile);

  platform::SpawnOptions options;
  options.argv = {"/bin/bash", locations_.installedRoot + "/installer/bootstrap.sh",
                  locations_.installedRoot, locations_.bundledUVDir.value_or("")};
  options.workingDirectory = locations_.installedRoot;
  // Out of reach of a terminal the program was started from; and, as the program never stops
  // the wizard, not stopped with it.
  options.ownSession = true;
  options.output = platform::Output::Pipe;
  options.onOutput = [this, log](std::string_view bytes) {
    // The log gets every byte first, lines the page never sees included; the page reads its
    // lines back from it after a reload.
    log->write(bytes);
    setupPage_->output(bytes);
  };
  // The platform delivers every byte of output before the exit.
  options.onExit = [this, log](int status) {
    log->close();
    finishWizard(status);
  };

  auto launched = system_.spawn(std::move(options));
  if (!launched.child) {
    setupPage_->end(failCall(wizardStartFailure(launched.error)));
    return;
  }
  setupProc = std::move(launched.child);
}

void AppDelegate::finishWizard(int status) {
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
