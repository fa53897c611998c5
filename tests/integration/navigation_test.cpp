// The navigation rule in the real web view: a panel page tries every kind of navigation
// towards a recorder server; only loopback names get through, and no window ever opens.
#include <signal.h>

#include <map>

#include "support/integration_fixture.h"

namespace tessary {
namespace {

using testing::HttpRequest;
using testing::HttpResponse;
using testing::HttpServer;
using testing::kPanelPort;
using testing::Program;

const std::vector<std::string> kKinds = {"link", "location", "form", "frame",
                                         "open", "blank",    "meta", "redirect"};

// The panel drives itself through the kinds, one page load per kind: "/?step=N" attempts
// kind N towards the target, waits, and moves on; the end is reported with "/done".
std::string panelPage(const std::string& target) {
  std::string kinds = "[";
  for (const auto& k : kKinds) kinds += "'" + k + "',";
  kinds += "]";
  return R"(<!doctype html><meta charset=utf-8><title>Panel</title><body><script>
const kinds = )" +
         kinds +
         R"(;
const target = ')" +
         target +
         R"(';
const step = Number(new URLSearchParams(location.search).get('step') || 0);
const next = () => { location.href = '/?step=' + (step + 1); };
function to(kind) { return target + 'land?kind=' + kind + '&next=' + (step + 1); }
if (window.top === window) {
  if (step >= kinds.length) {
    fetch('/done');
  } else {
    const kind = kinds[step];
    const a = document.createElement('a');
    document.body.append(a);
    if (kind === 'link') { a.href = to(kind); a.click(); }
    if (kind === 'location') location.href = to(kind);
    if (kind === 'form') {
      const f = document.createElement('form');
      f.method = 'post'; f.action = to(kind);
      const i = document.createElement('input'); i.name = 'x'; i.value = '1'; f.append(i);
      document.body.append(f); f.submit();
    }
    if (kind === 'frame') {
      const frame = document.createElement('iframe'); frame.src = to(kind);
      document.body.append(frame);
    }
    if (kind === 'open') window.open(to(kind));
    if (kind === 'blank') { a.href = to(kind); a.target = '_blank'; a.click(); }
    if (kind === 'meta') location.href = '/meta?to=' + encodeURIComponent(to(kind)) + '&next=' + (step + 1);
    if (kind === 'redirect') location.href = '/redirect?to=' + encodeURIComponent(to(kind));
    setTimeout(next, 700);
  }
}
</script>)";
}

// Where a navigation lands: goes back to the panel at the next step (only as the top page).
HttpResponse landing(const HttpRequest& r) {
  std::string next = r.path.substr(r.path.find("next=") + 5);
  return HttpResponse{200,
                      "<!doctype html><script>if (window.top === window) location.href = "
                      "'http://127.0.0.1:8477/?step=" +
                          next + "';</script>"};
}

class Navigation : public testing::IntegrationTest {
 protected:
  // Runs the panel towards target and returns the kinds that reached the recorder.
  std::vector<std::string> attempt(const std::string& target, const std::string& recorderHost) {
    HttpServer recorder(recorderHost, 8478, landing);
    EXPECT_TRUE(recorder.listening());
    HttpServer panel("127.0.0.1", kPanelPort, [&](const HttpRequest& r) {
      if (r.path.rfind("/meta", 0) == 0) {
        return HttpResponse{200, "<!doctype html><meta http-equiv=refresh content=\"0;url=" +
                                     testing::queryValue(r.path, "to") +
                                     "\"><script>setTimeout(() => location.href = '/?step=" +
                                     testing::queryValue(r.path, "next") + "', 700)</script>"};
      }
      if (r.path.rfind("/redirect", 0) == 0) {
        HttpResponse redirect{302};
        redirect.extraHeaders = "Location: " + testing::queryValue(r.path, "to") + "\r\n";
        return redirect;
      }
      if (r.path == "/done") return HttpResponse{204};
      return HttpResponse{200, panelPage(target)};
    });
    Program program(home);
    EXPECT_TRUE(panel.waitFor("/?step=1", 30)) << program.output();
    const auto shown = testing::findWindows(".*", true);
    EXPECT_TRUE(panel.waitFor("/done", 60)) << program.output();
    EXPECT_EQ(testing::findWindows(".*", true), shown) << "no new window";
    program.signal(SIGTERM);
    EXPECT_EQ(program.waitExit(10), 0);
    std::vector<std::string> arrived;
    for (const auto& r : recorder.requests())
      arrived.push_back(r.method + " " + testing::queryValue(r.path, "kind"));
    return arrived;
  }
};

TEST_F(Navigation, NoKindOfNavigationLeavesTheLoopbackHost) {
  EXPECT_EQ(attempt("http://127.0.0.2:8478/", "127.0.0.2"), std::vector<std::string>{});
}

TEST_F(Navigation, EveryKindReachesLocalhostButNoNewWindowIsOpened) {
  EXPECT_EQ(attempt("http://localhost:8478/", "127.0.0.1"),
            (std::vector<std::string>{"GET link", "GET location", "POST form", "GET frame",
                                      "GET meta", "GET redirect"}));
}

}  // namespace
}  // namespace tessary
