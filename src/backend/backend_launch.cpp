// Starting the backend server through the user's login shell.
#include "backend/backend_launch.h"

#include "application/app_delegate.h"
#include "backend/ready_root.h"
#include "backend/shell_log.h"
#include "backend/shutdown.h"
#include "base/text.h"
#include "platform/files.h"

namespace tessary {

std::string shellQuote(std::string_view word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += '\'';
  return quoted;
}

std::string chooseUV(const std::optional<std::string>& bundledUVDir, const std::string& home) {
  std::vector<std::string> candidates;
  if (bundledUVDir) candidates.push_back(*bundledUVDir + "/uv");
  candidates.push_back(home + "/.local/bin/uv");
  for (const auto& candidate : candidates) {
    if (platform::exists(candidate)) return candidate;
  }
  return "uv";
}

std::string backendCommandLine(const std::string& codeRoot, const std::string& uvPath) {
  return "cd " + shellQuote(codeRoot) + " && exec " + shellQuote(uvPath) + " run tessary serve";
}

std::string configAlertText(const std::string& approotFile, const std::string& codeRoot) {
  return "Plik " + approotFile + " wskazuje katalog, który nie istnieje:\n" + codeRoot +
         "\n\nUruchom ponownie ./install.sh z katalogu paczki Halvaren Tessary.";
}

std::string launchAlertText(const std::string& error, const std::string& home) {
  return "Błąd: " + error + "\n\nSprawdź, czy `" + home +
         "/.local/bin/uv` istnieje (instaluje go ./install.sh).";
}

void AppDelegate::startBackend(bool emptyLog) {
  auto root = readCodeRoot(locations_.approotFile);
  if (!root) {
    runSetup();
    return;
  }
  if (root->empty() || !platform::isDirectory(*root)) {
    configAlert(kConfigAlertTitle, configAlertText(locations_.approotFile, *root));
    return;
  }
  const std::string home = system_.homeDirectory();

  platform::SpawnOptions options;
  options.argv = {"/bin/bash", "-lc",
                  backendCommandLine(*root, chooseUV(locations_.bundledUVDir, home))};
  options.workingDirectory = *root;
  // The server runs as a grandchild of the shell's uv: only a process group reaches both.
  options.ownSession = options.stoppedWithProgram = true;
  options.stopGrace = kGracePeriod;
  options.stopStep = kWaitStep;

  platform::createDirectories(locations_.appSupportDir);
  if (emptyLog) platform::createEmptyFile(locations_.shellLogFile);
  // Without a log the backend writes where the program does.
  if (auto log = std::make_shared<ShellLog>(locations_.shellLogFile); log->isOpen()) {
    options.output = platform::Output::Pipe;
    options.onOutput = [log](std::string_view bytes) { log->write(bytes); };
  }
  options.onExit = [this](int) { backendEnded(); };

  auto launched = system_.spawn(std::move(options));
  if (!launched.child) {
    configAlert(kLaunchAlertTitle, launchAlertText(launched.error, home));
    return;
  }
  backend = std::move(launched.child);
  beginPolling();
}

std::string backendGaveUpText(const std::string& shellLogFile) {
  return "Backend zakończył działanie cztery razy w ciągu pięciu minut, więc nie jest już "
         "uruchamiany ponownie.\n\nZajrzyj do logu:\n" +
         shellLogFile +
         "\n\nAby spróbować jeszcze raz, wybierz „Otwórz Tessary” w menu ikony albo uruchom "
         "aplikację ponownie.";
}

// A backend of ours that served the panel and then ended by itself (a crash, a kill) is
// started again, a few times at most, and then the user is told; one that never answered, or
// that the program itself stopped, is not.
void AppDelegate::backendEnded() {
  if (!panelLoaded || !backend) return;
  backend.reset();
  if (!withinLimit(backendRestarts_, 3, 300.0)) {
    backendGaveUp_ = true;
    configAlert(kBackendGaveUpTitle, backendGaveUpText(locations_.shellLogFile));
    return;
  }
  panelLoaded = false;
  startBackend(/*emptyLog=*/false);
}

// A path in the text need not be UTF-8; the desktop shows only text that is.
void AppDelegate::configAlert(const std::string& title, const std::string& text) {
  desktop_.alert(validUtf8(title), validUtf8(text), kAlertButton, nullptr);
}

}  // namespace tessary
