// The setup page's calls: paced by the page, bounded in memory, given again after a reload.
#include "setup/setup_page.h"

#include <algorithm>
#include <utility>

#include "base/text.h"
#include "platform/files.h"
#include "setup/js_string.h"

namespace tessary {

namespace {
constexpr size_t kReplayChunk = 64 << 10;
}

SetupPage::SetupPage(platform::WebView& view, std::string logFile,
                     std::function<void(bool)> pauseOutput)
    : view_(view), logFile_(std::move(logFile)), pauseOutput_(std::move(pauseOutput)) {}

void SetupPage::shown() {
  state_ = State::Loading;
  ++generation_;
}

void SetupPage::loaded() {
  if (state_ != State::Loading) return;
  state_ = State::Ready;
  pump();
}

void SetupPage::reloading() {
  if (state_ == State::Off) return;
  state_ = State::Loading;
  ++generation_;
  busy_ = 0;
  replayLines_ = LineSplitter();
  replayAt_ = 0;
  replayEnd_ = given_;
  // The ending comes last, so it goes again after the lines.
  endingGiven_ = false;
  updateFlow();
}

void SetupPage::left() {
  state_ = State::Off;
  ++generation_;
  busy_ = waitingCount_ = 0;
  waiting_.clear();
  replayAt_ = replayEnd_ = 0;
  updateFlow();
}

void SetupPage::addLine(std::string& literals, size_t& count, std::string_view line) {
  if (!isValidUtf8(line)) return;
  if (count++) literals += ',';
  appendJsString(literals, line);
}

void SetupPage::output(std::string_view bytes) {
  lines_.feed(bytes, [this](std::string_view line) {
    output_ += line.size() + 1;
    if (state_ != State::Off) addLine(waiting_, waitingCount_, line);
  });
  pump();
}

void SetupPage::end(std::string statement) {
  if (state_ == State::Off) return;
  ending_ = std::move(statement);
  pump();
}

void SetupPage::pump() {
  if (state_ != State::Ready || busy_) return updateFlow();
  std::string literals;
  size_t count = 0;
  // What the page had been given before it was loaded again comes first.
  while (replayAt_ < replayEnd_ && literals.size() < kSetupPageBacklog) {
    const std::string chunk = platform::readFileRange(
        logFile_, replayAt_, std::min<uint64_t>(kReplayChunk, replayEnd_ - replayAt_));
    // A log cut short gives what it has.
    replayAt_ = chunk.empty() ? replayEnd_ : replayAt_ + chunk.size();
    replayLines_.feed(chunk, [&](std::string_view line) { addLine(literals, count, line); });
  }
  bool ending = false;
  if (replayAt_ >= replayEnd_) {
    if (count && waitingCount_) literals += ',';
    literals += waiting_;
    count += waitingCount_;
    waiting_.clear();
    waitingCount_ = 0;
    given_ = output_;
    ending = ending_ && !std::exchange(endingGiven_, true);
  }
  if (count || ending) send(literals, count, ending);
  updateFlow();
}

void SetupPage::send(const std::string& literals, size_t count, bool ending) {
  std::string script;
  if (count == 1 && !ending) {
    script = "wrLog(" + literals + ")";
  } else if (count) {
    // An array the page's engine reads far faster than as many statements; each call still
    // stands alone, so one that throws does not stop the others.
    script = "for(const l of[" + literals + "])try{wrLog(l)}catch(e){}";
  }
  if (ending) script += count ? "\ntry{" + *ending_ + "}catch(e){}" : *ending_;
  busy_ = script.size();
  view_.runScript(script, [this, generation = generation_] {
    if (generation != generation_) return;
    busy_ = 0;
    pump();
  });
}

void SetupPage::updateFlow() {
  const bool behind = state_ != State::Off &&
                      (waiting_.size() + busy_ > kSetupPageBacklog || replayAt_ < replayEnd_);
  if (behind != paused_) pauseOutput_(paused_ = behind);
}

}  // namespace tessary
