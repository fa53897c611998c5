// The first run's setup (see first_run_setup.h). One setup run at a time, from any session: a
// run holds the data folder's lock from its start (before the log or the tree is touched) until
// its end is recorded in the status file, which is never removed, only written over by the next
// run under the same lock. A start that finds the lock held follows the run and reads its end
// from the status file as the owner does.
#include "setup/first_run_setup.h"

#include "backend/ready_root.h"
#include "setup/install.h"
#include "setup/setup_texts.h"

namespace tessary {

namespace {
constexpr double kBackendStartDelay = 1.4;
constexpr double kWizardCheckInterval = 0.5;
// A run's owner records its start moments after taking the lock; a lock held longer without a
// run recorded is some other program's.
constexpr double kLockedNoteAfter = 10;
// The wizard may download large models over a slow line: an hour or more is plausible, two
// hours is not.
constexpr double kLongWizard = 2 * 3600;
constexpr char kRunning[] = "running ";

// The status file: "running <the run's log>" from a run's start, its wizard's exit status
// once the keeper recorded it; anything else is no run's.
struct RunRecord {
  std::optional<std::string> runningLog;
  std::optional<int> exitStatus;
};

RunRecord readRunRecord(const std::string& path) {
  RunRecord record;
  const std::string text = platform::readUtf8File(path, 256).value_or("");
  if (text.empty() || text.back() != '\n') return record;
  const std::string line = text.substr(0, text.size() - 1);
  if (line.rfind(kRunning, 0) == 0) {
    record.runningLog = line.substr(sizeof kRunning - 1);
  } else if (!line.empty() && line.size() <= 3 &&
             line.find_first_not_of("0123456789") == std::string::npos) {
    record.exitStatus = std::stoi(line);
  }
  return record;
}
}  // namespace

FirstRunSetup::FirstRunSetup(platform::WebView& webView, platform::System& system,
                             const Locations& locations, Events events)
    : webView_(webView),
      system_(system),
      locations_(locations),
      events_(std::move(events)),
      setupPage_(webView, system, locations.setupLogFile) {}

// Under the run's lock, before anything else: a fresh log (a daemon of an earlier wizard
// still holding the old one writes there, not here), and the record that this run is on.
void FirstRunSetup::beginRun() {
  platform::replaceFile(locations_.setupLogFile, "");
  followedLog_ = platform::fileIdentity(locations_.setupLogFile);
  platform::replaceFile(locations_.wizardStatusFile, kRunning + followedLog_.value_or("") + "\n");
  ownRun_ = true;
}

void FirstRunSetup::launchBootstrap() {
  platform::SpawnOptions options;
  options.argv = {"/bin/bash", locations_.installedRoot + "/installer/bootstrap.sh",
                  locations_.installedRoot, locations_.bundledUVDir.value_or("")};
  options.workingDirectory = locations_.installedRoot;
  // The wizard writes straight into its log, out of reach of a terminal the program was
  // started from, and runs to its end when the program quits first: its keeper then records
  // how it ended for the next start, and holds the run's lock until it has.
  options.output = platform::Output::File;
  options.outputFile = locations_.setupLogFile;
  options.statusFile = locations_.wizardStatusFile;
  options.lock = setupLock_.get();
  options.onExit = [this](int) { followWizard(); };

  auto launched = system_.spawn(std::move(options));
  setupLock_.reset();
  if (!launched.child) {
    const std::string& reason = launched.error;
    setupPage_.end(failCall(wizardStartFailure(
        launched.failedAt == platform::SpawnStep::Execute ? cannotExecute("/bin/bash", reason)
        : launched.failedAt == platform::SpawnStep::Directory
            ? cannotEnterFolder(locations_.installedRoot, reason)
            : reason)));
    return;
  }
  setupProc = std::move(launched.child);
  followingSince_ = system_.now();
  setupPage_.follow();
}

// A run under way, this program's own or another's (an earlier run of the program's, another
// session's, an older version's): followed until its lock is free.
void FirstRunSetup::followWizard() {
  if (wizardWatch_) return;
  waitingSince_ = system_.now();
  toldLocked_ = toldLong_ = false;
  wizardWatch_ = system_.startRepeating(kWizardCheckInterval, [this] { lookAtWizard(); });
  lookAtWizard();
}

void FirstRunSetup::lookAtWizard() {
  auto lock = std::make_unique<platform::FolderLock>(locations_.appSupportDir);
  if (!lock->held()) {
    wizardWatch_.reset();
    endRun(std::move(lock));
    return;
  }
  const double now = system_.now();
  const auto record = readRunRecord(locations_.wizardStatusFile);
  const bool running =
      record.runningLog && *record.runningLog == platform::fileIdentity(locations_.setupLogFile);
  if (!running) {
    if (!toldLocked_ && now - waitingSince_ >= kLockedNoteAfter) {
      toldLocked_ = true;
      setupPage_.note(dataFolderLocked(locations_.appSupportDir));
    }
    return;
  }
  waitingSince_ = now;
  if (followedLog_ != record.runningLog) {
    followedLog_ = record.runningLog;
    followingSince_ = now;
    setupPage_.follow();
  }
  if (!toldLong_ && now - followingSince_ >= kLongWizard) {
    toldLong_ = true;
    setupPage_.note(wizardTakesTooLong(locations_.setupLogFile));
  }
}

bool FirstRunSetup::settleEndedWizard() {
  const platform::FolderLock lock(locations_.appSupportDir);
  if (lock.held()) return true;
  if (readRunRecord(locations_.wizardStatusFile).exitStatus == 0 &&
      platform::readUtf8File(locations_.approotFile))
    recordInstalledStamp(locations_);
  return false;
}

// The run's lock is free (and now held here): its end as its keeper recorded it.
void FirstRunSetup::endRun(std::unique_ptr<platform::FolderLock> lock) {
  const auto record = readRunRecord(locations_.wizardStatusFile);
  const auto shipped = shippedStamp(locations_);
  const auto ran = installingStamp(locations_);
  const bool approot = platform::readUtf8File(locations_.approotFile).has_value();
  if (record.exitStatus == 0 && approot) recordInstalledStamp(locations_);
  if (!std::exchange(ownRun_, false)) {
    // What a run of another's left is this version's only when it installed this version: an
    // older version's wizard is followed to its end, then this version installs its own. A
    // lock that no run held leaves the run to this program.
    const auto root = readyRoot(locations_.approotFile);
    const bool anotherVersion =
        (shipped && ran && ran != shipped) ||
        (record.exitStatus == 0 && root && installedCodeOutdated(locations_, *root));
    if ((!record.runningLog && !record.exitStatus) || anotherVersion) {
      runSetup(std::move(lock));
      return;
    }
  }
  lock.reset();
  finishWizard(record.exitStatus);
}

void FirstRunSetup::finishWizard(std::optional<int> status) {
  if (status != 0) {
    setupPage_.end(failCall(wizardFailure(locations_.setupLogFile)));
    return;
  }
  // Without an approot file the next start would install and run the wizard again, forever.
  if (!platform::readUtf8File(locations_.approotFile)) {
    setupPage_.end(failCall(wizardLeftNoApproot(locations_.approotFile, locations_.setupLogFile)));
    return;
  }
  setupPage_.end("wrDone()");
  system_.postAfter(kBackendStartDelay, [this] { events_.startBackend(); });
}

void FirstRunSetup::runSetup(std::unique_ptr<platform::FolderLock> lock) {
  if (!locations_.bundledRoot ||
      !platform::exists(*locations_.bundledRoot + "/installer/bootstrap.sh")) {
    events_.alert(kMissingCodeTitle, kMissingCodeText);
    return;
  }
  platform::createDirectories(locations_.appSupportDir);
  // A missing page would only put the engine's error page where the panel will go.
  if (locations_.bundledSetupHTML && locations_.resourceDir &&
      platform::exists(*locations_.bundledSetupHTML)) {
    setupPage_.shown();
    webView_.loadFile(*locations_.bundledSetupHTML, *locations_.resourceDir);
  }
  // Never a second run over the same tree: one under way, from any session, is followed.
  if (!lock) lock = std::make_unique<platform::FolderLock>(locations_.appSupportDir);
  if (lock->held()) {
    ownRun_ = false;
    followedLog_.reset();
    followWizard();
    return;
  }
  setupLock_ = std::move(lock);
  beginRun();
  // Read before the copy: a newer version that lands during it gets its own setup next time.
  auto failures = std::make_shared<std::vector<platform::CopyFailure>>();
  system_.runInBackground([locations = locations_, stamp = shippedStamp(locations_),
                           failures] { *failures = installShippedTree(locations, stamp); },
                          [this, failures] {
                            if (failures->empty()) {
                              launchBootstrap();
                            } else {
                              installFailed(*failures);
                            }
                          });
}

// The wizard does not run on a tree copied in part. The setup log lists what could not be
// written, and the page shows it, with the first of them in its message.
void FirstRunSetup::installFailed(const std::vector<platform::CopyFailure>& failures) {
  // The record still says the run is on: the run's end, for a start that follows it, is a
  // failure.
  setupLock_.reset();
  setupPage_.end(failCall(copyFailure(failures.front().path, failures.front().reason,
                                      failures.size(), locations_.setupLogFile)));
}

}  // namespace tessary
