// The calls that drive the setup page. The wizard writes its output into the setup log; the
// page is given the log's lines as it takes them: they wait until the page has loaded, lines
// that come while the page is busy go together in its next script, the log is read no
// further while much waits for the page, and a page loaded again reads the log from its start.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/system.h"
#include "platform/web_view.h"
#include "setup/line_splitter.h"

namespace tessary {

// How much may wait for the page before the log is read no further.
inline constexpr size_t kSetupPageBacklog = 1 << 20;
// The longest line the page is given whole; a longer one is cut, and said to be cut.
inline constexpr size_t kLongestPageLine = 64 << 10;
// How often the log is looked at for new output while a wizard runs.
inline constexpr double kSetupLogInterval = 0.1;

// The page call that ends a run in failure. A path in the message need not be UTF-8; the page
// still gets all of the message.
std::string failCall(const std::string& message);

class SetupPage {
 public:
  SetupPage(platform::WebView& view, platform::System& system, std::string logFile);

  // The setup page is being loaded: calls from now on are for it.
  void shown();
  // A page load finished; while the setup page is shown, it is the setup page's.
  void loaded();
  // The setup page is being loaded again, its content process gone.
  void reloading();
  // Another page replaces the setup page: calls go nowhere from now on.
  void left();

  // A wizard writes into the log from its start: its lines go to the page from now on.
  void follow();
  // The call that ends the run (wrDone, wrFail), after every line the log holds now.
  void end(std::string statement);
  // A line of the program's own for a page that is shown, not from the log.
  void note(const std::string& text);

 private:
  enum class State { Off, Loading, Ready };

  // Adds the string literal of a line that is text to a list of them; of its head, and a note
  // of its length, where it was cut.
  static void addLine(std::string& literals, size_t& count, std::string_view line, uint64_t length);
  // Reads the log back from its start, for a page that has been given nothing yet.
  void rewind();
  void pump();
  void send(const std::string& literals, size_t count, bool ending);

  platform::WebView& view_;
  platform::System& system_;
  const std::string logFile_;
  State state_ = State::Off;
  uint64_t generation_ = 0;  // of the page load, so that a dead page's answer is ignored
  bool busy_ = false;        // the page is running a script

  // The log the wizard writes into, held from when it is followed: the page reads on in it
  // whatever happens to its name.
  platform::FollowedFile log_;
  std::unique_ptr<platform::Timer> tail_;  // while there is more of the log to come
  LineSplitter lines_{kLongestPageLine};
  uint64_t read_ = 0;  // bytes of the log read so far
  std::optional<std::string> ending_;
  uint64_t endsAt_ = 0;  // the log's size when the ending came
  bool endingGiven_ = false;
};

}  // namespace tessary
