// The calls that drive the setup page. They wait until the page has loaded; lines that come
// while the page is busy go together in its next script; while much waits for the page, the
// wizard's output waits in its pipe; and a page loaded again gets everything it had been
// given again, read back from the setup log, before the rest.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/web_view.h"
#include "setup/line_splitter.h"

namespace tessary {

// How much may wait for the page before the wizard's output is read no further.
inline constexpr size_t kSetupPageBacklog = 1 << 20;

class SetupPage {
 public:
  // pauseOutput(true) asks that the wizard's output be read no further for now; false again.
  SetupPage(platform::WebView& view, std::string logFile, std::function<void(bool)> pauseOutput);

  // The setup page is being loaded: calls from now on are for it.
  void shown();
  // A page load finished; while the setup page is shown, it is the setup page's.
  void loaded();
  // The setup page is being loaded again, its content process gone.
  void reloading();
  // Another page replaces the setup page: calls go nowhere from now on.
  void left();

  // Wizard output as read from its pipe, after it has been written to the log.
  void output(std::string_view bytes);
  // The call that ends the run (wrDone, wrFail), after every line.
  void end(std::string statement);

 private:
  enum class State { Off, Loading, Ready };

  // Adds the string literal of a line that is text to a list of them.
  static void addLine(std::string& literals, size_t& count, std::string_view line);
  void pump();
  void send(const std::string& literals, size_t count, bool ending);
  void updateFlow();

  platform::WebView& view_;
  const std::string logFile_;
  const std::function<void(bool)> pauseOutput_;
  State state_ = State::Off;
  uint64_t generation_ = 0;  // of the page load, so that a dead page's answer is ignored
  bool paused_ = false;
  size_t busy_ = 0;  // bytes of the script the page is running

  LineSplitter lines_;
  uint64_t output_ = 0;  // output cut into lines so far
  std::string waiting_;  // string literals of the lines the page has not been given, joined
  size_t waitingCount_ = 0;
  uint64_t given_ = 0;  // output whose lines have been given to the page
  std::optional<std::string> ending_;
  bool endingGiven_ = false;

  // Giving again, from the log, what a page load before this one had been given.
  LineSplitter replayLines_;
  uint64_t replayAt_ = 0;
  uint64_t replayEnd_ = 0;
};

}  // namespace tessary
