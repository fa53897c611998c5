#!/usr/bin/env bash
# Mutation check of the test suite: plants each deliberate fault below in a copy of the tree,
# runs every test tier, and says whether the suite caught it. A fault the suite misses is a
# hole in the tests. Usage: bash scripts/mutate.sh [NUMBER...]   (all when none given);
# MUTATE_TESTS=REGEX runs only the tests whose names match.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=${MUTATE_DIR:-$root/build-mutate}

# One block per fault: "@ file | what the fault is", then the text it replaces ("-") and the
# replacement ("+"). Each "-" text occurs exactly once in its file.
read -r -d '' faults <<'TABLE' || true
@ src/backend/probe.h | status 500 taken as alive
- < 300u
+ < 301u
@ src/backend/backend_supervisor.cpp | the deadline tested after the in-flight test
-   if (system_.now() > pollDeadline) {
+   if (!pollInFlight && system_.now() > pollDeadline) {
@ src/platform/posix/process_groups.cpp | the polite stop sent to the leader only
-   ::kill(group_ ? -pid_ : pid_, SIGTERM);
+   ::kill(pid_, SIGTERM);
@ src/backend/backend_supervisor.cpp | a stubborn backend never killed
-   if (backend->isRunning()) backend->kill();
+   (void)0;
@ src/platform/posix/process_groups.cpp | no guardian stop after the program was killed
-   if (::kill(-group, 0) == 0) {
+   if (::kill(-group, 0) == 0 && false) {
@ src/setup/install.cpp | a copy that failed still recorded as the new version
-   if (failures.empty()) {
+   if (true) {
@ src/setup/line_splitter.h | a line split across chunks loses its head
-         keep(piece);
+         pending_.clear(), keep(piece);
@ src/setup/js_string.cpp | the reverse solidus left unescaped
-         out += "\\\\";
+         out += "\\";
@ src/setup/line_splitter.h | a line too long for the page kept whole
-     pending_.append(piece.substr(0, std::min(piece.size(), longest_ - pending_.size())));
+     pending_.append(piece);
@ src/setup/setup_page.cpp | invalid UTF-8 lines sent to the page
-     if (drop++ == keep) return;
+     if (drop++ == keep) break;
@ src/backend/backend_launch.cpp | a single quote closed but not escaped
-       quoted += "'\\''";
+       quoted += "'\\'";
@ src/backend/ready_root.cpp | the approot text used untrimmed
-   return trimWhiteSpace(*text);
+   return std::string(*text);
@ src/application/app_delegate.cpp | a code root without its command taken as installed
-   const auto root = readyRoot(locations_.approotFile);
+   const auto root = readCodeRoot(locations_.approotFile);
@ src/ui/navigation_policy.cpp | a host that only starts with the loopback address allowed
-   return host == "127.0.0.1" || host == "localhost";
+   return host.rfind("127.0.0.1", 0) == 0 || host == "localhost";
@ src/ui/page_policy.cpp | the chooser's cancel giving an empty list
-   desktop_.chooseFiles(options, std::move(done));
+   desktop_.chooseFiles(options, [done](platform::FileList f) { done(f ? f : platform::FileList(std::vector<std::string>{})); });
@ src/application/main_menu.cpp | Ctrl+W quitting
-            {kMenuClose, 'Z', ours('w'), [this] { window_.windowShouldClose(); }},
+            {kMenuClose, 'Z', ours('w'), [this] { quitAction(); }},
@ src/platform/webkit/webkit_web_view.cpp | the paste shortcut copying instead
-       {EditCommand::Paste, WEBKIT_EDITING_COMMAND_PASTE},
+       {EditCommand::Paste, WEBKIT_EDITING_COMMAND_COPY},
@ src/platform/gtk3/gtk3_application.cpp | a second start never showing the hidden window
-     r->delegate->applicationShouldHandleReopen(r->desktop.hasVisibleWindow());
+     r->delegate->applicationShouldHandleReopen(true);
@ src/application/app_delegate.cpp | the window painted in the wrong colour
- 247.0 / 255.0, 1.0};
+ 255.0 / 255.0, 1.0};
@ src/platform/gtk3/gtk3_status_item.cpp | the status item's menu left unexported
-     app_indicator_set_menu(indicator_.get(), menu_.get());
+     (void)0;
@ src/platform/glib/glib_system.cpp | the probe's time-out three times too long
-   inFlight->timeout = SourceId(attach(g_timeout_source_new(milliseconds(timeout)), [inFlight] {
+   inFlight->timeout = SourceId(attach(g_timeout_source_new(milliseconds(timeout * 3)), [inFlight] {
@ src/platform/gtk3/gtk3_desktop.cpp | a chosen link passed on unresolved
-       files->push_back(!save && ::realpath(name.get(), resolved) ? resolved : name.get());
+       files->push_back(!save && ::realpath(name.get(), resolved) ? name.get() : name.get());
@ src/platform/glib/environment.cpp | the backend started with the toolkit's settings
-   for (const auto& name : added()) environment =
+   for (const auto& name : std::vector<std::string>()) environment =
@ src/platform/posix/posix_files.cpp | a FIFO approot opened blocking
-   // Non-blocking, so that a FIFO cannot stall the caller; only a regular file is text.
-   const Fd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
+   const Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
@ src/ui/main_window.h | a crash loop given one more reload
-   RecoveryLimit contentCrashes_{2, 60.0};
+   RecoveryLimit contentCrashes_{3, 60.0};
@ src/backend/backend_supervisor.cpp | a restart that empties the log
-   events_.restarting();
-   startBackend(/*emptyLog=*/false);
+   events_.restarting();
+   startBackend(/*emptyLog=*/true);
@ src/ui/page_policy.cpp | a drop outside the page's zones followed
-   if (address && system_.now() - droppedAt_ < kDropFollowedWithin &&
+   if (false && system_.now() - droppedAt_ < kDropFollowedWithin &&
@ src/backend/probe.h | a listener of another user accepted
-                      [user](unsigned owner) { return owner == user; });
+                      [user](unsigned owner) { return owner == user || true; });
@ src/ui/downloads.cpp | downloads started together asked all at once
-   if (waitingDownloads_.size() == 1) askWhereToSave();
+   askWhereToSave();
@ src/platform/posix/process_groups.cpp | a wizard killed by a signal taken as a success
-   if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
+   if (WIFSIGNALED(waitStatus)) return 0;
@ src/platform/gtk3/gtk3_desktop.cpp | alerts in loops of their own, a logout answering only the last
-   gtk_widget_show(dialog);
- }
- 
- void Desktop::closeAlerts() {
-   for (GtkWidget* dialog : std::exchange(alerts_, {})) gtk_widget_destroy(dialog);
+   gtk_dialog_run(GTK_DIALOG(dialog));
+ }
+ 
+ void Desktop::closeAlerts() {
+   if (!alerts_.empty()) gtk_widget_destroy(alerts_.back());
@ src/backend/backend_supervisor.cpp | a try again starting a backend beside a panel that answers
-     if (alive) {
-       events_.panelAnswers();
+     if (alive && false) {
+       events_.panelAnswers();
@ src/application/app_delegate.cpp | an upgrade's stamp ignored
-   if (!setupUnderWay && root && !installedCodeOutdated(locations_, *root)) {
+   if (!setupUnderWay && root) {
@ src/platform/posix/posix_files.cpp | an upgrade's removal let out of the installed tree
-     if (names.back().empty() || names.back() == "." || names.back() == ".." ||
+     if (names.back().empty() ||
@ src/setup/setup_page.cpp | a line cut at a read's end given as two
-     lines_.feed(chunk, [&](std::string_view line, uint64_t length) {
+     lines_.feed(chunk + "\n", [&](std::string_view line, uint64_t length) {
@ src/setup/setup_page.cpp | the whole log given to the page at once
-   while (read_ < until && literals.size() < kSetupPageBacklog) {
+   while (read_ < until) {
@ src/setup/setup_page.cpp | a log cut short read on past its new end
-   if (tail_ && log_.size() < read_) rewind();
+   (void)0;
@ src/setup/setup_page.cpp | the log read by its name, not the file the wizard writes into
-     const std::string chunk = log_.read(read_, want);
+     const std::string chunk = platform::FollowedFile(logFile_).read(read_, want);
@ src/setup/setup_page.cpp | scripts given to a page still running one
-   if (state_ != State::Ready || busy_) return;
+   if (state_ != State::Ready) return;
@ src/setup/setup_page.cpp | a reloaded page not given the ending again
-   endingGiven_ = false;
+   (void)0;
@ src/backend/shell_log.cpp | the backend's log never cut
-   if (size_ + bytes.size() > kShellLogLimit) {
+   if (false) {
@ src/platform/webkit/compat.h | the engine's sandbox left off
-   if (works) webkit_web_context_set_sandbox_enabled(webkit_web_context_get_default(), TRUE);
+   (void)works;
@ src/ui/page_policy.cpp | one kind of permission granted
- bool PagePolicy::decidePermission(platform::Permission) {
-   return false;
+ bool PagePolicy::decidePermission(platform::Permission kind) {
+   return kind == platform::Permission::Notifications;
@ src/backend/ready_root.cpp | an approot holding a NUL accepted
-   if (!text || text->find('\0') != std::string::npos) return std::nullopt;
+   if (!text) return std::nullopt;
@ src/setup/first_run_setup.cpp | the wizard not kept past a quit
-   options.statusFile = locations_.wizardStatusFile;
+   (void)0;
@ src/setup/first_run_setup.cpp | the setup run's lock not held by the wizard's keeper
-   options.lock = setupLock_.get();
+   (void)0;
@ src/setup/first_run_setup.cpp | the wizard's end removed before a start that follows it reads it
- void FirstRunSetup::finishWizard(std::optional<int> status) {
+ void FirstRunSetup::finishWizard(std::optional<int> status) {
+   platform::removeFile(locations_.wizardStatusFile);
@ src/platform/posix/process_groups.cpp | a killed keeper's wizard group left running
-   if (n != 1) {
+   if (n != 1 && false) {
@ src/setup/first_run_setup.cpp | a folder at setup.status left in the way
-   platform::replaceFile(locations_.wizardStatusFile, kRunning + followedLog_.value_or("") + "\n");
+   if (!platform::isDirectory(locations_.wizardStatusFile)) platform::replaceFile(locations_.wizardStatusFile, kRunning + followedLog_.value_or("") + "\n");
@ src/setup/first_run_setup.cpp | an older version's wizard taken for this version's install
-         (shipped && ran && ran != shipped) ||
+         false ||
@ src/setup/first_run_setup.cpp | a lock held by another program followed in silence
-       setupPage_.note(dataFolderLocked(locations_.appSupportDir));
+       (void)0;
@ src/setup/first_run_setup.cpp | a wizard that runs for hours followed in silence
-     setupPage_.note(wizardTakesTooLong(locations_.setupLogFile));
+     (void)0;
@ src/setup/install.cpp | a large install record read as none
-   const std::string text = platform::readUtf8File(path, SIZE_MAX).value_or("");
+   const std::string text = platform::readUtf8File(path).value_or("");
@ src/platform/posix/posix_files.cpp | a record's name holding a NUL let out of the installed tree
-     if (names.back().empty() || names.back() == "." || names.back() == ".." ||
-         names.back().find('\0') != std::string::npos)
+     if (names.back().empty() || names.back() == "." || names.back() == "..")
@ src/setup/install.cpp | a record that could not be written vouched for by the stamp
-     failures.push_back({l.installedListFile, *error});
+     (void)error;
@ src/setup/install.cpp | the setup log listing failures past its room
-     if (used + line.size() > kFailureLogRoom - kRestLineRoom) break;
+     (void)kRestLineRoom;
@ src/platform/linux/kernel.cpp | the setup log's room not taken before the copy fills the disk
-     ::fallocate(fd, FALLOC_FL_KEEP_SIZE, info.st_size, static_cast<off_t>(room));
+     (void)room;
@ src/platform/posix/posix_files.cpp | an installed tree that is a link never cleaned
-   folders.emplace_back(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
+   folders.emplace_back(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
@ src/platform/posix/posix_files.cpp | a folder at a file name of the program's kept for good
-   if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) removeEntry(path);
+   (void)st;
@ src/platform/posix/posix_files.cpp | a file cut short by a full disk left in place
-       if (error) fs::remove(to, ignored);
+       (void)ignored;
@ src/backend/backend_supervisor.cpp | a backend given up on in silence
-     events_.alert(kBackendGaveUpTitle, backendGaveUpText(locations_.shellLogFile));
+     (void)0;
@ src/application/app_delegate.cpp | a second start after a give-up not trying again
-   if (!hasVisibleWindows) window_.showWindow();
-   tryAgain();
+   if (!hasVisibleWindows) window_.showWindow();
@ src/platform/webkit/sandbox.cpp | the engine's sandbox turned off by a "0"
-   return value && std::strcmp(value, "0") != 0;
+   return value;
@ src/ui/downloads.cpp | a download cut short left half written
-   if (!complete && transfer.path) platform::removeFile(*transfer.path);
+   (void)complete;
@ data/icons/halvaren-tessary-symbolic.svg | the status icon's ring drawn as a stroke
-   <path fill="#2e3436" fill-rule="evenodd"
-         d="M8 0.5a7.5 7.5 0 1 0 0 15a7.5 7.5 0 1 0 0-15zM8 2a6 6 0 1 1 0 12a6 6 0 1 1 0-12z"/>
+   <circle cx="8" cy="8" r="6.75" fill="none" stroke="#2e3436" stroke-width="1.5"/>
@ src/platform/gtk3/gtk3_window.cpp | the paper colour behind the menu bar too
-   GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
-   if (menuBar) gtk_box_pack_start(GTK_BOX(box), menuBar, FALSE, FALSE, 0);
-   gtk_box_pack_start(GTK_BOX(box), GTK_WIDGET(page_), TRUE, TRUE, 0);
+   GtkWidget* box = GTK_WIDGET(page_);
+   if (menuBar) gtk_box_pack_start(GTK_BOX(box), menuBar, FALSE, FALSE, 0);
+   if (menuBar) gtk_box_reorder_child(GTK_BOX(box), menuBar, 0);
@ src/platform/gtk3/menu.cpp | menus without mnemonics
-   if (!mnemonic) return gtk_menu_item_new_with_label(label.c_str());
+   return gtk_menu_item_new_with_label(label.c_str());
@ src/platform/gtk3/gtk3_desktop.cpp | a window without its icon
-   gtk_window_set_default_icon_name(info_.iconName.c_str());
+   (void)0;
@ src/ui/main_window.cpp | a window taller than the screen
-   options.height = std::min(840, area.height - kFrame.height);
+   options.height = 840;
@ src/platform/webkit/webkit_web_view.cpp | a context menu entry for a new window
-   for (auto* item : newWindow) webkit_context_menu_remove(menu, item);
+   (void)newWindow;
@ src/platform/webkit/webkit_web_view.cpp | a page that leaves the focus nowhere
-   keepPageFocused(view_.get());
+   (void)0;
@ src/platform/gtk3/gtk3_desktop.cpp | an about dialog without the version
- "version", info_.version.c_str(),
+ "website", info_.version.c_str(),
@ src/platform/webkit/sandbox.cpp | the first page held up by a bubblewrap that hangs
-   if (!answered_.wait_for(lock, kAnswerWithin, [this] { return refusal_.has_value(); })) {
+   if (!answered_.wait_for(lock, kAnswerWithin * 200, [this] { return refusal_.has_value(); })) {
@ src/platform/webkit/sandbox.cpp | the sandbox tried on the main thread
-   thread_ = std::thread([this] { runTrial(); });
+   runTrial();
@ src/platform/webkit/sandbox.cpp | a trial begun after the program's end, waited for
-   if (ending_) return;
+   (void)ending_;
@ src/platform/gtk3/gtk3_window.cpp | a quit with a menu open leaving it to close after the window
-   if (menuBar_) gtk_menu_shell_deactivate(GTK_MENU_SHELL(menuBar_));
+   (void)menuBar_;
@ src/platform/gtk3/gtk3_window.cpp | the menus acting on a key before the page
-   if (gtk_window_propagate_key_event(window, event)) return TRUE;
-   if (gtk_window_activate_key(window, event)) return TRUE;
+   if (gtk_window_activate_key(window, event)) return TRUE;
+   if (gtk_window_propagate_key_event(window, event)) return TRUE;
@ src/application/main_menu.cpp | a page keeping the user from closing the window
-            {kMenuClose, 'Z', ours('w'), [this] { window_.windowShouldClose(); }},
+            {kMenuClose, 'Z', ctrl('w'), [this] { window_.windowShouldClose(); }},
@ src/platform/webkit/webkit_web_view.cpp | cookies kept in memory only
-   keepCookies(view_.get());
+   (void)keepCookies;
@ src/ui/main_window.cpp | a quit that does not wait for the page's question
-       window_->present();
+       leave();
@ src/ui/page_policy.cpp | files handed over for a drag that started in the page
-   if (drop.fromOtherProgram && !drop.files.empty()) webView_->handDroppedFiles(drop.files);
+   if (!drop.files.empty()) webView_->handDroppedFiles(drop.files);
@ src/platform/webkit/dropped_files.cpp | dropped files never reaching the page
- constexpr char kHand[] = "__halvarenTessaryDrop()";
+ constexpr char kHand[] = "void 0";
@ src/platform/webkit/dropped_files.cpp | a drag of files shown to the page as addresses
- constexpr char kDragging[] = "__halvarenTessaryDrag(true)";
+ constexpr char kDragging[] = "__halvarenTessaryDrag(false)";
TABLE

mapfile -t heads < <(grep -n '^@ ' <<<"$faults")
selected=("$@")
[ ${#selected[@]} -gt 0 ] || selected=($(seq 1 ${#heads[@]}))

# A private copy of the tracked tree, so the work tree is never touched.
rm -rf "$work/tree"
mkdir -p "$work/tree"
git ls-files -z | xargs -0 cp --parents -t "$work/tree"
cmake -S "$work/tree" -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

results=()
for n in "${selected[@]}"; do
  block=$(awk -v n="$n" '/^@ /{k++} k==n' <<<"$faults")
  head=$(head -n1 <<<"$block")
  file=$(sed -E 's/^@ ([^|]+) \| .*/\1/' <<<"$head" | xargs)
  what=${head#*| }
  cp "$root/$file" "$work/tree/$file"
  python3 - "$work/tree/$file" "$block" <<'PY'
import sys
path, block = sys.argv[1], sys.argv[2].splitlines()[1:]
old = "\n".join(l[2:] for l in block if l.startswith("- "))
new = "\n".join(l[2:] for l in block if l.startswith("+ "))
text = open(path).read()
if text.count(old) != 1:
    sys.exit(f"mutation text found {text.count(old)} times in {path}")
open(path, "w").write(text.replace(old, new))
PY
  verdict="caught"
  if ! cmake --build "$work/build" -j"$(nproc)" >"$work/build.log" 2>&1; then
    verdict="caught (does not build)"
  elif (cd "$work/build" && xvfb-run -a -s "-screen 0 1600x1000x24 -noreset" dbus-run-session -- \
      ctest --stop-on-failure --output-on-failure -j"$(nproc)" -R "${MUTATE_TESTS:-.}" >"$work/mutation-$n.log" 2>&1); then
    verdict="MISSED"
  else
    verdict="caught by $(grep -m1 -oE '^[[:space:]]+[0-9]+ - [^ ]+' "$work/mutation-$n.log" | awk '{print $3}')"
    # A program-level run names its failing case itself (the Wayland run holds several).
    case=$(grep -m1 -oE '^(FAIL|ERROR): test_[a-z_0-9]+ \(test_[a-z]+\.[A-Za-z]+' "$work/mutation-$n.log" |
      sed -E 's/^[A-Z]+: (test_[a-z_0-9]+) \(test_[a-z]+\.([A-Za-z]+)/\2.\1/' || true)
    [ -z "$case" ] || [[ $verdict == *"$case" ]] || verdict+=" ($case)"
  fi
  cp "$root/$file" "$work/tree/$file"
  results+=("$(printf '%2d  %-55s %s' "$n" "$what" "$verdict")")
  echo "${results[-1]}"
done
cmake --build "$work/build" -j"$(nproc)" >/dev/null 2>&1 || true
printf '\n%s\n' "${results[@]}"
! printf '%s\n' "${results[@]}" | grep -q MISSED
