// The window's keyboard shortcuts and the file chooser, driven by real X input events.
#include <signal.h>

#include <filesystem>

#include "support/integration_fixture.h"
#include "support/run_command.h"

namespace tessary {
namespace {

using testing::HttpRequest;
using testing::HttpResponse;
using testing::HttpServer;
using testing::kPanelPort;
using testing::Program;

constexpr char kTitle[] = "Halvaren Tessary";

// A panel with one text field and one file input, reporting both back to the server.
const char kPanel[] = R"(<!doctype html><meta charset=utf-8><title>Panel</title>
<style>body{margin:0} input{display:block;font-size:20px;width:600px;height:80px;margin:0}</style>
<input id=t autofocus><input id=f type=file>
<script>
const t = document.getElementById('t'), f = document.getElementById('f');
const say = (what, value) => fetch('/' + what + '?' + encodeURIComponent(value));
t.addEventListener('input', () => say('value', t.value));
f.addEventListener('change', () => say('chosen', [...f.files].map(x => x.name + ':' + x.size).join(',')));
document.addEventListener('keydown', (e) => { if (e.key === 'F2') say('files', f.files.length); });
addEventListener('load', () => { t.focus(); say('ready', ''); });
</script>)";

class Ui : public testing::IntegrationTest {
 protected:
  void SetUp() override {
    IntegrationTest::SetUp();
    program = std::make_unique<Program>(home);
    window = testing::waitForWindow(kTitle, 15);
    ASSERT_FALSE(window.empty()) << program->output();
    ASSERT_TRUE(panel.waitFor("/ready", 15)) << program->output();
    xdotool({"windowfocus", "--sync", window});
  }

  void TearDown() override {
    program.reset();
    IntegrationTest::TearDown();
  }

  void xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    testing::runCommand(args);
  }
  void key(const std::string& keys) { xdotool({"key", "--delay", "40", keys}); }

  // The latest thing the page reported under what, once it differs from before.
  std::string reported(const std::string& what, size_t after) {
    std::string value;
    testing::eventually(5, [&] {
      auto requests = panel.requests();
      size_t seen = 0;
      for (const auto& r : requests) {
        if (r.path.rfind("/" + what + "?", 0) != 0) continue;
        if (++seen > after) value = testing::urlDecode(r.path.substr(what.size() + 2));
      }
      return seen > after;
    });
    return value;
  }
  size_t count(const std::string& what) {
    size_t n = 0;
    for (const auto& r : panel.requests()) n += r.path.rfind("/" + what + "?", 0) == 0;
    return n;
  }
  // Sends keys and returns the field's value the page reports afterwards.
  std::string afterKeys(const std::string& keys) {
    size_t before = count("value");
    key(keys);
    return reported("value", before);
  }

  HttpServer panel{"127.0.0.1", kPanelPort, [](const HttpRequest& r) {
                     return r.path == "/" ? HttpResponse{200, kPanel} : HttpResponse{204};
                   }};
  std::unique_ptr<Program> program;
  std::string window;
};

TEST_F(Ui, EditShortcutsWorkInTheTextFieldsOfThePage) {
  xdotool({"type", "--delay", "20", "hello"});
  EXPECT_EQ(reported("value", 4), "hello");
  key("ctrl+a");
  key("ctrl+c");
  key("End");
  EXPECT_EQ(afterKeys("ctrl+v"), "hellohello");
  key("ctrl+a");
  EXPECT_EQ(afterKeys("ctrl+x"), "");
  EXPECT_EQ(afterKeys("ctrl+z"), "hellohello") << "undo brings the cut text back";
  EXPECT_EQ(afterKeys("ctrl+shift+z"), "") << "redo cuts it again";
  EXPECT_EQ(afterKeys("ctrl+v"), "hellohello");
}

TEST_F(Ui, CtrlWAndCtrlHHideTheWindowAndCtrlQQuits) {
  key("ctrl+w");
  EXPECT_TRUE(testing::eventually(5, [] { return testing::findWindows(kTitle, true).empty(); }));
  EXPECT_TRUE(program->running());

  Program again(home);  // shows the window again
  EXPECT_EQ(again.waitExit(15), 0);
  ASSERT_EQ(testing::waitForWindow(kTitle, 5), window);
  xdotool({"windowfocus", "--sync", window});
  key("ctrl+h");
  EXPECT_TRUE(testing::eventually(5, [] { return testing::findWindows(kTitle, true).empty(); }));
  EXPECT_TRUE(program->running());

  Program third(home);
  EXPECT_EQ(third.waitExit(15), 0);
  ASSERT_EQ(testing::waitForWindow(kTitle, 5), window);
  xdotool({"windowfocus", "--sync", window});
  key("ctrl+q");
  EXPECT_EQ(program->waitExit(10), 0) << program->output();
}

class FileChooser : public Ui {
 protected:
  // Clicks the page's file input, as a user does, and waits for the chooser.
  std::string openChooser() {
    auto g = testing::windowGeometry(window);
    // Below the menu bar and the text field: the middle of the file input.
    xdotool({"mousemove", std::to_string(g.x + 300), std::to_string(g.y + 30 + 80 + 40), "sleep",
             "0.1", "click", "1"});
    return testing::waitForWindow("Wybierz nagranie sesji", 10);
  }
};

TEST_F(FileChooser, ChosenFilesReachThePageWithLinksResolved) {
  testing::writeFile(home.path() + "/recordings/sesja 1.bin", std::string(1234, 'x'));
  std::filesystem::create_symlink(home.path() + "/recordings/sesja 1.bin",
                                  home.path() + "/recordings/link.bin");
  const std::string chooser = openChooser();
  ASSERT_FALSE(chooser.empty()) << program->output();

  // The rest of the program keeps working while the chooser is open.
  testing::sendCloseRequest(window);
  EXPECT_TRUE(testing::eventually(5, [] { return testing::findWindows(kTitle, true).empty(); }));
  Program again(home);
  EXPECT_EQ(again.waitExit(15), 0);
  EXPECT_EQ(testing::waitForWindow(kTitle, 5), window);

  xdotool({"windowfocus", "--sync", chooser});
  key("ctrl+l");
  xdotool({"type", "--delay", "20", home.path() + "/recordings/link.bin"});
  // Let the location entry finish completing what was typed before accepting it.
  xdotool({"sleep", "0.6"});
  key("Return");
  EXPECT_EQ(reported("chosen", 0), "sesja 1.bin:1234");
  EXPECT_TRUE(testing::eventually(
      5, [] { return testing::findWindows("Wybierz nagranie sesji", true).empty(); }));
}

TEST_F(FileChooser, CancellingLeavesTheInputEmpty) {
  const std::string chooser = openChooser();
  ASSERT_FALSE(chooser.empty()) << program->output();
  xdotool({"windowfocus", "--sync", chooser});
  key("Escape");
  ASSERT_TRUE(testing::eventually(
      5, [] { return testing::findWindows("Wybierz nagranie sesji", true).empty(); }));
  xdotool({"windowfocus", "--sync", window});
  key("F2");
  EXPECT_EQ(reported("files", 0), "0");
  EXPECT_EQ(count("chosen"), 0u);

  // A second request gets a chooser of its own.
  EXPECT_FALSE(openChooser().empty());
}

}  // namespace
}  // namespace tessary
