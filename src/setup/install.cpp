// First run: install the code shipped with the program, show the setup page, hand over to
// the wizard.
#include "application/app_delegate.h"
#include "platform/files.h"
#include "setup/setup_texts.h"

namespace tessary {

namespace {
constexpr const char* kScripts[] = {"installer/bootstrap.sh", "installer/deps.sh",
                                    "installer/models.sh", "install.sh"};
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
    webView->loadFile(*locations_.bundledSetupHTML, *locations_.resourceDir);
  }
  system_.runInBackground(
      [from = *locations_.bundledRoot, to = locations_.installedRoot] {
        platform::copyTree(from, to);
        for (const char* script : kScripts) platform::setMode(to + "/" + script, 0755);
      },
      [this] { launchBootstrap(); });
}

}  // namespace tessary
