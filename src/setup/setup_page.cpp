// The setup page's calls: read from the setup log as the page takes them, again after a reload.
#include "setup/setup_page.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "base/text.h"
#include "platform/files.h"
#include "setup/js_string.h"
#include "setup/setup_texts.h"

namespace tessary {

namespace {
constexpr size_t kReadChunk = 64 << 10;
}

std::string failCall(const std::string& message) {
  return "wrFail(" + jsString(validUtf8(message)) + ")";
}

SetupPage::SetupPage(platform::WebView& view, platform::System& system, std::string logFile)
    : view_(view), system_(system), logFile_(std::move(logFile)) {}

void SetupPage::shown() {
  state_ = State::Loading;
  ++generation_;
  busy_ = false;
  tail_.reset();
  ending_.reset();
  rewind();
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
  busy_ = false;
  rewind();
}

void SetupPage::left() {
  state_ = State::Off;
  ++generation_;
  tail_.reset();
}

void SetupPage::follow() {
  log_ = platform::FollowedFile(logFile_);
  rewind();
  tail_ = system_.startRepeating(kSetupLogInterval, [this] { pump(); });
  pump();
}

void SetupPage::end(std::string statement) {
  if (state_ == State::Off) return;
  if (!tail_) log_ = platform::FollowedFile(logFile_);  // a run that ends without a wizard
  tail_.reset();
  ending_ = std::move(statement);
  endsAt_ = log_.size();
  pump();
}

void SetupPage::note(const std::string& text) {
  if (state_ == State::Ready) view_.runScript("wrLog(" + jsString(validUtf8(text)) + ")", [] {});
}

void SetupPage::rewind() {
  lines_ = LineSplitter(kLongestPageLine);
  read_ = 0;
  endingGiven_ = false;
}

void SetupPage::addLine(std::string& literals, size_t& count, std::string_view line,
                        uint64_t length) {
  // A cut may fall inside a character: up to three bytes of it go.
  const size_t keep = line.size() < length ? 3 : 0;
  for (size_t drop = 0; !isValidUtf8(line); line.remove_suffix(1))
    if (drop++ == keep) return;
  if (count++) literals += ',';
  appendJsString(literals, line.size() < length ? std::string(line) + cutLineNote(length) : line);
}

void SetupPage::pump() {
  if (state_ != State::Ready || busy_) return;
  // A log cut short while the wizard writes into it: read again from its start, where what
  // the wizard writes now follows what is left.
  if (tail_ && log_.size() < read_) rewind();
  // Up to where the log is read: all of it while the wizard runs, what it held at the end after.
  const uint64_t until = tail_ ? UINT64_MAX : ending_ ? endsAt_ : 0;
  std::string literals;
  size_t count = 0;
  while (read_ < until && literals.size() < kSetupPageBacklog) {
    const size_t want = std::min<uint64_t>(kReadChunk, until - read_);
    const std::string chunk = log_.read(read_, want);
    read_ += chunk.size();
    lines_.feed(chunk, [&](std::string_view line, uint64_t length) {
      addLine(literals, count, line, length);
    });
    if (chunk.size() < want) {
      if (!tail_) endsAt_ = read_;  // a log cut short gives what it has
      break;
    }
  }
  const bool ending = ending_ && read_ >= endsAt_ && !std::exchange(endingGiven_, true);
  if (count || ending) send(literals, count, ending);
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
  busy_ = true;
  view_.runScript(script, [this, generation = generation_] {
    if (generation != generation_) return;
    busy_ = false;
    pump();
  });
}

}  // namespace tessary
