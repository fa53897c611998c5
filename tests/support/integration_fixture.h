// The base of every integration test: a fresh user on the private desktop, and a check
// that the test leaves no process behind.
#pragma once

#include <gtest/gtest.h>

#include "support/desktop_session.h"
#include "support/http_server.h"
#include "support/program.h"

namespace tessary::testing {

inline constexpr int kPanelPort = 8477;

class IntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override { DesktopSession::get(); }
  void TearDown() override {
    // A guardian stops what a dead program left behind within about three seconds.
    auto left = waitForNoStrayChildren(6);
    EXPECT_TRUE(left.empty()) << "processes left behind: " << describe(left);
    killStrayChildren();
  }

  Home home;
};

}  // namespace tessary::testing
