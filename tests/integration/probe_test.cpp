// The HTTP probe of the real platform against real loopback servers.
#include <gtest/gtest.h>

#include <thread>

#include "backend/probe.h"
#include "platform/linux/system.h"
#include "support/integration_fixture.h"

namespace tessary {
namespace {

using testing::HttpResponse;
using testing::HttpServer;
using testing::kPanelPort;

struct ProbeOutcome {
  std::optional<int> status;
  double seconds = 0;
  bool completedBeforeReturn = false;
  bool completedOnMainThread = false;
};

ProbeOutcome probeOnce(double timeout) {
  platform::linux_impl::GlibSystem system;
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  ProbeOutcome outcome;
  bool returned = false;
  const auto mainThread = std::this_thread::get_id();
  const double start = testing::monotonicSeconds();
  system.probe("http://127.0.0.1:8477/", timeout, [&](std::optional<int> status) {
    outcome.status = status;
    outcome.seconds = testing::monotonicSeconds() - start;
    outcome.completedBeforeReturn = !returned;
    outcome.completedOnMainThread = std::this_thread::get_id() == mainThread;
    g_main_loop_quit(loop);
  });
  returned = true;
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
  return outcome;
}

class Probe : public testing::IntegrationTest {};

TEST_F(Probe, ReportsTheStatusOfAnyHttpAnswer) {
  int status = 0;
  HttpServer server("127.0.0.1", kPanelPort, [&](const auto&) { return HttpResponse{status}; });
  ASSERT_TRUE(server.listening());
  for (int s : {200, 204, 401, 404, 499, 500, 503}) {
    status = s;
    auto outcome = probeOnce(1.0);
    EXPECT_EQ(outcome.status, s);
    EXPECT_EQ(probeAlive(outcome.status), s < 500);
  }
}

TEST_F(Probe, CompletesOnTheMainLoopAfterReturningAndNeverFromACache) {
  HttpServer server("127.0.0.1", kPanelPort, [](const auto&) {
    HttpResponse r{200, "cache me"};
    r.extraHeaders = "Expires: Thu, 01 Jan 2099 00:00:00 GMT\r\n";
    return r;
  });
  auto first = probeOnce(1.0);
  auto second = probeOnce(1.0);
  EXPECT_FALSE(first.completedBeforeReturn);
  EXPECT_TRUE(first.completedOnMainThread);
  EXPECT_EQ(second.status, 200);
  EXPECT_EQ(server.count("/"), 2u);
  EXPECT_EQ(server.requests()[0].method, "GET");
}

TEST_F(Probe, NothingListeningAnswersFalseWellBeforeTheTimeOut) {
  auto outcome = probeOnce(1.0);
  EXPECT_EQ(outcome.status, std::nullopt);
  EXPECT_LT(outcome.seconds, 0.5);
  EXPECT_TRUE(outcome.completedOnMainThread);
}

TEST_F(Probe, ASilentListenerAnswersFalseAtTheTimeOut) {
  HttpServer server("127.0.0.1", kPanelPort, [](const auto&) {
    HttpResponse r;
    r.neverAnswer = true;
    return r;
  });
  auto outcome = probeOnce(0.5);
  EXPECT_EQ(outcome.status, std::nullopt);
  EXPECT_GE(outcome.seconds, 0.45);
  EXPECT_LT(outcome.seconds, 1.2);
}

TEST_F(Probe, AnAnswerLaterThanTheTimeOutCountsAsNone) {
  HttpServer server("127.0.0.1", kPanelPort, [](const auto&) {
    HttpResponse r{200};
    r.delay = 1.5;
    return r;
  });
  auto outcome = probeOnce(1.0);
  EXPECT_EQ(outcome.status, std::nullopt);
  EXPECT_LT(outcome.seconds, 1.4);
}

}  // namespace
}  // namespace tessary
