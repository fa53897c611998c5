// First-run setup with the real program: the shipped package installed into a fresh home,
// the wizard's lines in the page and the log, its endings, and the next start.
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "support/integration_fixture.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;
using testing::HttpResponse;
using testing::HttpServer;
using testing::Program;

// Page calls as the recorder page reported them, in the order the page received them.
struct PageCalls {
  std::vector<std::string> lines;
  std::vector<std::string> endings;  // "done", or "fail:<message>"
};

PageCalls pageCalls(const HttpServer& recorder) {
  std::vector<std::pair<int, std::string>> batches;
  for (const auto& r : recorder.requests()) {
    size_t newline = r.body.find('\n');
    batches.emplace_back(std::stoi(r.body.substr(0, newline)), r.body.substr(newline + 1));
  }
  std::sort(batches.begin(), batches.end());
  PageCalls calls;
  for (const auto& [seq, body] : batches) {
    std::istringstream in(body);
    for (std::string item; std::getline(in, item);) {
      size_t tab = item.find('\t');
      std::string kind = item.substr(0, tab), value = testing::urlDecode(item.substr(tab + 1));
      if (kind == "log") {
        calls.lines.push_back(value);
      } else {
        calls.endings.push_back(kind == "done" ? "done" : "fail:" + value);
      }
    }
  }
  return calls;
}

class Setup : public testing::IntegrationTest {
 protected:
  std::string log() const { return home.appSupport() + "/setup.log"; }
  std::string shellLog() const { return home.appSupport() + "/native-shell.log"; }

  // The program in a prefix of its own whose resources hold appRoot, the shipped bin
  // folder and the recorder setup page.
  std::string prefixWith(const std::string& appRoot) {
    const std::string share = home.path() + "/prefix/share/halvaren-tessary";
    fs::create_directories(home.path() + "/prefix/bin");
    fs::create_directories(share);
    fs::copy_file(testing::programPath(), home.path() + "/prefix/bin/halvaren-tessary");
    fs::copy(appRoot, share + "/app-root", fs::copy_options::recursive);
    fs::copy(shipped() + "/bin", share + "/bin", fs::copy_options::recursive);
    fs::copy_file(std::string(TESSARY_TEST_DATA) + "/recorder-setup.html", share + "/setup.html");
    return home.path() + "/prefix/bin/halvaren-tessary";
  }

  // An app-root whose wizard is the given script.
  std::string wizard(const std::string& script) {
    const std::string root = home.path() + "/custom-app-root";
    testing::writeFile(root + "/installer/bootstrap.sh", script);
    return root;
  }

  static std::string shipped() {
    return fs::path(testing::programPath()).parent_path().parent_path().string() +
           "/share/halvaren-tessary";
  }

  bool panelShown(double timeout) {
    return testing::eventually(timeout, [&] {
      return testing::readFile(shellLog()).find("GET /nagrania") != std::string::npos;
    });
  }

  HttpServer recorder{"127.0.0.1", 8478, [](const auto&) { return HttpResponse{204}; }};
};

TEST_F(Setup, AFirstRunGoesFromTheSetupPageToThePanelAndTheNextStartSkipsSetup) {
  {
    Program program(home);
    ASSERT_TRUE(panelShown(60)) << program.output() << testing::readFile(log());
    EXPECT_NE(testing::readFile(log()).find("Instalacja zakończona."), std::string::npos);
    EXPECT_EQ(testing::readFile(home.appSupport() + "/approot"), home.appSupport() + "/app\n");
    struct stat st {};
    ::stat((home.appSupport() + "/app/install.sh").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    program.signal(SIGTERM);
    EXPECT_EQ(program.waitExit(10), 0);
  }
  EXPECT_NE(testing::readFile(shellLog()).find("Serwer panelu zatrzymany."), std::string::npos)
      << "the sample server ends cleanly on the polite stop";

  const auto setupLogTime = fs::last_write_time(log());
  fs::remove(shellLog());
  Program again(home);
  ASSERT_TRUE(panelShown(30)) << again.output();
  EXPECT_EQ(fs::last_write_time(log()), setupLogTime) << "no second setup";
  again.signal(SIGTERM);
  EXPECT_EQ(again.waitExit(10), 0);
}

TEST_F(Setup, TheSetupPageReceivesEveryLineTheShippedWizardPrints) {
  Program program(home, {}, prefixWith(shipped() + "/app-root"));
  ASSERT_TRUE(panelShown(60)) << program.output();
  auto calls = pageCalls(recorder);
  std::istringstream logLines(testing::readFile(log()));
  std::vector<std::string> expected;
  for (std::string line; std::getline(logLines, line);) expected.push_back(line);
  EXPECT_EQ(calls.lines, expected);
  EXPECT_EQ(calls.endings, std::vector<std::string>{"done"});
}

TEST_F(Setup, AFailingWizardLeavesItsMessageInThePageAndStartsNoBackend) {
  Program program(home, {},
                  prefixWith(wizard("echo 'krok 1/2: \"pobieranie\" \\\\ ł'\n"
                                    "echo 'błąd na stderr' >&2\nexit 3\n")));
  ASSERT_TRUE(testing::eventually(20, [&] { return !pageCalls(recorder).endings.empty(); }));
  auto calls = pageCalls(recorder);
  EXPECT_EQ(calls.lines,
            (std::vector<std::string>{"krok 1/2: \"pobieranie\" \\\\ ł", "błąd na stderr"}));
  EXPECT_EQ(calls.endings,
            std::vector<std::string>{"fail:Zajrzyj do dziennika: " + log() +
                                     ". Możesz też uruchomić kreator ponownie (zamknij i otwórz "
                                     "aplikację) albo użyć ./install.sh z paczki."});
  // Past the moment a successful wizard would have started the backend.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_FALSE(fs::exists(shellLog())) << "no backend";
  EXPECT_TRUE(program.running());
}

TEST_F(Setup, AHundredThousandLinesReachTheLogByteForByteAndThePageInOrder) {
  // Line 500 is not UTF-8; the last line has no line feed.
  Program program(home, {},
                  prefixWith(wizard("python3 - <<'PY'\n"
                                    "import sys\n"
                                    "out = sys.stdout.buffer\n"
                                    "for i in range(1, 100000):\n"
                                    "    out.write(b'\\xff\\xfe bad\\n' if i == 500 else "
                                    "('wiersz %d ł\\r\\n' % i if i % 7 == 0 else "
                                    "'wiersz %d\\n' % i).encode())\n"
                                    "out.write(b'ostatni bez konca')\n"
                                    "PY\n"
                                    "exit 4\n")));
  std::string expected;
  std::vector<std::string> expectedLines;
  for (int i = 1; i < 100000; ++i) {
    if (i == 500) {
      expected += "\xff\xfe bad\n";
      continue;
    }
    std::string line = "wiersz " + std::to_string(i) + (i % 7 == 0 ? " ł\r" : "");
    expected += line + "\n";
    expectedLines.push_back(line);
  }
  expected += "ostatni bez konca";
  ASSERT_TRUE(testing::eventually(90, [&] { return !pageCalls(recorder).endings.empty(); }))
      << program.output();
  EXPECT_TRUE(testing::readFile(log()) == expected) << "setup.log differs";
  auto calls = pageCalls(recorder);
  EXPECT_EQ(calls.lines.size(), expectedLines.size());
  EXPECT_TRUE(calls.lines == expectedLines) << "lines missing or out of order";
  EXPECT_EQ(calls.endings.size(), 1u);
}

TEST_F(Setup, WebKitEvaluatesEveryEscapedLineBackToItsText) {
  std::string script = "printf '%s\\n'";
  const std::vector<std::string> corpus = {"quote \" backslash \\ solidus / </script>",
                                           "tab\there",
                                           "bell\a and escape \x1b[0m",
                                           "unicode \xE2\x80\xA8 and \xE2\x80\xA9 separators",
                                           "zażółć gęślą jaźń",
                                           "\xF0\x9F\x98\x80",
                                           "'single' `back` $(dollar)",
                                           ""};
  for (const auto& line : corpus) {
    std::string quoted = "'";
    for (char c : line) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    script += " " + quoted + "'";
  }
  Program program(home, {}, prefixWith(wizard(script + "\nexit 1\n")));
  ASSERT_TRUE(testing::eventually(20, [&] { return !pageCalls(recorder).endings.empty(); }));
  EXPECT_EQ(pageCalls(recorder).lines, corpus);
}

}  // namespace
}  // namespace tessary
